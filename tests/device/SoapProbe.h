#pragma once

#include <libxml/tree.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One SOAP reply, read back with XPath under the prefixes env, tds, trt, tt, tev, wsnt, wsa,
// tns1, ter and vd (the emulator's own namespace).
struct SoapReply
{
    int status = 0;
    std::string body;
    std::vector<std::string> challenges;
    std::shared_ptr<xmlDoc> document;

    // The text of the first node the expression selects, empty when none.
    std::string value(const std::string& xpath) const;
    std::vector<std::string> values(const std::string& xpath) const;
    // "ter:NotAuthorized" and the like, the innermost subcode of a fault; empty when none.
    std::string faultSubcode() const;
};

// Talks ONVIF to an emulator on a loopback port, one request to a connection.
class SoapProbe
{
public:
    using TimePoint = std::chrono::system_clock::time_point;

    explicit SoapProbe(int port) : m_port(port) {}

    // A SOAP 1.2 envelope around `body` (which declares its own namespaces) and `header`.
    static std::string envelope(const std::string& body, const std::string& header = {});
    // <Name xmlns="the device service's namespace"/> and the like.
    static std::string operation(const std::string& name, const char* ns,
                                 const std::string& content = {});
    // A WS-Security header with a UsernameToken; `nonce` raw bytes, digest unless `asText`.
    static std::string usernameToken(const std::string& user, const std::string& password,
                                     TimePoint created, const std::string& nonce,
                                     bool asText = false);
    static std::string randomNonce();

    // The whole POST of `body` to `path`, as post() sends it; `host`: the Host header,
    // "127.0.0.1:<port>" when empty.
    std::string request(const std::string& path, const std::string& body,
                        const std::string& host = {}) const;
    // Sends request() on a connection of its own and reads the reply.
    std::optional<SoapReply> post(const std::string& path, const std::string& body,
                                  const std::string& host = {}) const;

    static constexpr const char* kDevice = "http://www.onvif.org/ver10/device/wsdl";
    static constexpr const char* kMedia = "http://www.onvif.org/ver10/media/wsdl";
    static constexpr const char* kEvents = "http://www.onvif.org/ver10/events/wsdl";
    static constexpr const char* kSchema = "http://www.onvif.org/ver10/schema";

private:
    int m_port;
};
