#pragma once

#include "device/DeviceConfig.h"
#include "device/OnvifCall.h"
#include "device/SoapAnswer.h"

namespace common
{
class XmlWriter;
} // namespace common

namespace velkordevice
{

// ONVIF's device service: the clock, who the device is and where its other services are.
class OnvifDeviceService
{
public:
    static constexpr const char* kPath = "/onvif/device_service";

    explicit OnvifDeviceService(const DeviceConfig& config);

    SoapAnswer answer(const OnvifCall& call) const;

    // The serial number GetDeviceInformation reports, made from the device's uid.
    static std::string serialNumber(long long uid);

private:
    static SoapAnswer systemDateAndTime(const OnvifCall& call);
    SoapAnswer deviceInformation() const;
    SoapAnswer capabilities(const OnvifCall& call) const;
    SoapAnswer services(const OnvifCall& call) const;
    void serviceCapabilities(common::XmlWriter& xml, const char* ns) const;

    DeviceConfig m_config;
};

} // namespace velkordevice
