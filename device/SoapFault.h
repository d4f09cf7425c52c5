#pragma once

#include <string>
#include <vector>

namespace velkordevice
{

// A SOAP 1.2 fault as ONVIF uses them: a code, nested subcodes (qualified names such as
// "ter:NotAuthorized") and a reason.
struct SoapFault
{
    // "env:Sender", "env:Receiver", "env:VersionMismatch".
    std::string code;
    std::vector<std::string> subcodes;
    std::string reason;
    // The content of env:Detail, XML as written; none when empty.
    std::string detail = {};

    // 400 for the sender's faults, 500 for the others (the SOAP 1.2 HTTP binding).
    int httpStatus() const { return code == "env:Sender" ? 400 : 500; }

    static SoapFault sender(std::vector<std::string> subcodes, std::string reason)
    {
        return {"env:Sender", std::move(subcodes), std::move(reason)};
    }
    static SoapFault receiver(std::vector<std::string> subcodes, std::string reason)
    {
        return {"env:Receiver", std::move(subcodes), std::move(reason)};
    }
    static SoapFault notAuthorized()
    {
        return sender({"ter:NotAuthorized"}, "Sender not Authorized");
    }
    static SoapFault actionNotSupported()
    {
        return receiver({"ter:ActionNotSupported"}, "Optional Action Not Implemented");
    }
    static SoapFault invalidArgVal(const std::string& detail, std::string reason)
    {
        return sender({"ter:InvalidArgVal", detail}, std::move(reason));
    }
};

} // namespace velkordevice
