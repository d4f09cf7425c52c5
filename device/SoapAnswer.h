#pragma once

#include "device/SoapFault.h"

#include <optional>
#include <string>
#include <utility>

namespace velkordevice
{

// What an ONVIF operation answers: the content of the reply's body, or a fault.
struct SoapAnswer
{
    std::string body;
    std::optional<SoapFault> fault;
    // The WS-Addressing action of the reply, when it names one.
    std::string action;

    static SoapAnswer of(std::string body, std::string action = {})
    {
        return {std::move(body), std::nullopt, std::move(action)};
    }
    static SoapAnswer failed(SoapFault fault) { return {{}, std::move(fault), {}}; }
};

} // namespace velkordevice
