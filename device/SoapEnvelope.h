#pragma once

#include "device/HttpReply.h"
#include "device/SoapAnswer.h"

#include <string>

namespace velkordevice
{

// Wraps answers into SOAP 1.2 envelopes that declare every prefix our replies use.
class SoapEnvelope
{
public:
    static constexpr const char* kContentType = "application/soap+xml; charset=utf-8";

    static std::string wrap(const std::string& header, const std::string& body);
    static std::string faultBody(const SoapFault& fault);
    // 200 with the answer, or the fault with its HTTP status.
    static HttpReply reply(const SoapAnswer& answer);
};

} // namespace velkordevice
