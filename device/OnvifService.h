#pragma once

#include "common/SoapMessage.h"
#include "device/Authenticator.h"
#include "device/DeviceConfig.h"
#include "device/HttpReply.h"
#include "device/HttpRequest.h"
#include "device/OnvifDeviceService.h"
#include "device/OnvifEventService.h"
#include "device/OnvifMediaService.h"
#include "device/UsernameTokenGuard.h"

#include <optional>
#include <string>

namespace velkordevice
{

// The ONVIF face of the device, under /onvif/: reads each SOAP request, decides who may make it
// (WS-Security UsernameToken, or the HTTP authentication of the velkor paths) and has the
// service of its path answer it.
class OnvifService
{
public:
    static constexpr const char* kPrefix = "/onvif/";

    OnvifService(const DeviceConfig& config, Authenticator& authenticator, EventBus& bus,
                 const AlarmSchedule& alarms);

    static bool owns(const std::string& path);
    // `listening`: "ADDR:PORT" of the device, for addresses in replies where the request's Host
    // names no host or no port.
    HttpReply serve(const HttpRequest& request, const std::string& listening);

private:
    // The refusal, or nullopt when the request may be answered.
    std::optional<HttpReply> refusal(const HttpRequest& request,
                                     const common::SoapMessage& message);
    SoapAnswer dispatch(const std::string& path, const OnvifCall& call);
    std::chrono::system_clock::time_point now() const;
    // The subscription id in "/onvif/pullpoint/<id>", empty for any other path.
    static std::string pullPointId(const std::string& path);

    DeviceConfig m_config;
    Authenticator& m_authenticator;
    UsernameTokenGuard m_tokens;
    OnvifDeviceService m_device;
    OnvifMediaService m_media;
    OnvifEventService m_events;
};

} // namespace velkordevice
