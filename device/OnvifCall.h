#pragma once

#include <libxml/tree.h>

#include <chrono>
#include <functional>
#include <string>

namespace velkordevice
{

// One ONVIF request, as the services need it.
struct OnvifCall
{
    // The first element of the body: which operation, with its arguments.
    const xmlNode* operation = nullptr;
    // The SOAP header, nullptr when the envelope has none.
    const xmlNode* header = nullptr;
    // "http://HOST:PORT" as the client reached the device, for the addresses in replies.
    std::string baseUrl;
    // The device's ONVIF clock, read once for the request.
    std::chrono::system_clock::time_point now;
    // True once the client has gone: a call that waits stops waiting for nobody.
    std::function<bool()> clientHasLeft = [] { return false; };
};

} // namespace velkordevice
