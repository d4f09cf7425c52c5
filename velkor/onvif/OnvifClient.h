#pragma once

#include "velkor/onvif/OnvifAnswer.h"

#include <atomic>
#include <chrono>
#include <stop_token>
#include <string>
#include <string_view>

namespace velkor
{

// SOAP 1.2 calls to an ONVIF camera's services over the library's HTTP client. With a user name
// or password set, each request carries a WS-Security UsernameToken (password digest) written on
// the camera's clock, and libcurl answers an HTTP Digest or Basic challenge with the same
// credentials, for cameras that ask for those instead.
class OnvifClient
{
public:
    static constexpr const char* kDeviceServicePath = "/onvif/device_service";
    // GetProfiles of a camera with many profiles runs to a hundred KB and more.
    static constexpr std::size_t kMaxAnswerBytes = std::size_t{1024} * 1024;

    OnvifClient(std::string userName, std::string password);

    // Calls `action` (its full URI, "http://www.onvif.org/ver10/device/wsdl/GetProfiles") at
    // `serviceUrl` with `bodyXml`, one element that declares its own namespaces, and
    // `headerXml`, header blocks that do too, after the credentials'. Connect 2 s, answer 3 s
    // unless `timeoutMs` says otherwise; a stop ends it at once.
    OnvifAnswer call(const std::string& serviceUrl, std::string_view action,
                     std::string_view bodyXml, const std::stop_token& stop, long timeoutMs = 3000,
                     std::string_view headerXml = {}) const;

    // GetSystemDateAndTime, which cameras answer without credentials: from its UTC time on,
    // Created is written on the camera's clock, so a camera whose clock is off still accepts the
    // credentials. The answer is returned as it came.
    OnvifAnswer synchroniseClock(const std::string& deviceServiceUrl, const std::stop_token& stop);
    // The camera's clock minus ours, as last learned.
    std::chrono::milliseconds clockOffset() const { return m_clockOffset.load(); }

    // The envelope around a body, with the credentials' header when there are any, then
    // `headerXml`.
    std::string envelope(std::string_view bodyXml, std::string_view headerXml = {}) const;

private:
    const std::string m_userName;
    const std::string m_password;
    std::atomic<std::chrono::milliseconds> m_clockOffset{std::chrono::milliseconds(0)};
};

} // namespace velkor
