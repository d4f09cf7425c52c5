#pragma once

#include "device/DeviceConfig.h"
#include "device/OnvifCall.h"
#include "device/OnvifProfiles.h"
#include "device/SoapAnswer.h"

namespace common
{
class XmlWriter;
} // namespace common

namespace velkordevice
{

// ONVIF's media service (ver10): the profiles of the device's streams and where each is served.
class OnvifMediaService
{
public:
    static constexpr const char* kPath = "/onvif/media_service";

    explicit OnvifMediaService(const DeviceConfig& config);

    SoapAnswer answer(const OnvifCall& call) const;

    // Where the stream of `profile` is served, for the client that reached us at `baseUrl`: the
    // device's own path, or `uriTemplate` with the profile's {channel}, {width} and {format}.
    static std::string streamUri(const std::string& baseUrl, const OnvifProfile& profile,
                                 const std::string& uriTemplate = {});

private:
    SoapAnswer profiles() const;
    SoapAnswer profile(const OnvifCall& call) const;
    SoapAnswer streamUri(const OnvifCall& call) const;
    SoapAnswer videoSources() const;
    SoapAnswer encoderConfiguration(const OnvifCall& call) const;
    std::optional<OnvifProfile> named(const OnvifCall& call) const;
    void writeProfile(common::XmlWriter& xml, const char* element,
                      const OnvifProfile& profile) const;
    void writeEncoder(common::XmlWriter& xml, const char* element,
                      const OnvifProfile& profile) const;

    DeviceConfig m_config;
};

} // namespace velkordevice
