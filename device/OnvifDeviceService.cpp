#include "device/OnvifDeviceService.h"

#include "common/SoapNamespaces.h"
#include "common/XmlTree.h"
#include "common/XmlWriter.h"
#include "device/OnvifEventService.h"
#include "device/OnvifMediaService.h"
#include "device/StreamFormats.h"

#include <cstdio>
#include <ctime>
#include <set>

namespace velkordevice
{

namespace
{

constexpr const char* kMajorVersion = "2";
constexpr const char* kMinorVersion = "60";

void writeDateTime(common::XmlWriter& xml, const char* name, const std::tm& utc)
{
    xml.open(name).open("tt:Time");
    xml.leaf("tt:Hour", std::to_string(utc.tm_hour))
        .leaf("tt:Minute", std::to_string(utc.tm_min))
        .leaf("tt:Second", std::to_string(utc.tm_sec))
        .close();
    xml.open("tt:Date")
        .leaf("tt:Year", std::to_string(utc.tm_year + 1900))
        .leaf("tt:Month", std::to_string(utc.tm_mon + 1))
        .leaf("tt:Day", std::to_string(utc.tm_mday))
        .close()
        .close();
}

void writeVersion(common::XmlWriter& xml, const char* name)
{
    xml.open(name).leaf("tt:Major", kMajorVersion).leaf("tt:Minor", kMinorVersion).close();
}

} // namespace

OnvifDeviceService::OnvifDeviceService(const DeviceConfig& config) : m_config(config) {}

std::string OnvifDeviceService::serialNumber(long long uid)
{
    char text[32];
    std::snprintf(text, sizeof text, "VD-%010lld", uid);
    return text;
}

SoapAnswer OnvifDeviceService::answer(const OnvifCall& call) const
{
    const char* tds = common::SoapNamespaces::kDevice;
    if (common::XmlTree::is(call.operation, tds, "GetSystemDateAndTime"))
    {
        return systemDateAndTime(call);
    }
    if (common::XmlTree::is(call.operation, tds, "GetDeviceInformation"))
    {
        return deviceInformation();
    }
    if (common::XmlTree::is(call.operation, tds, "GetCapabilities"))
    {
        return capabilities(call);
    }
    if (common::XmlTree::is(call.operation, tds, "GetServices"))
    {
        return services(call);
    }
    return SoapAnswer::failed(SoapFault::actionNotSupported());
}

SoapAnswer OnvifDeviceService::systemDateAndTime(const OnvifCall& call)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(call.now);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    common::XmlWriter xml;
    xml.open("tds:GetSystemDateAndTimeResponse").open("tds:SystemDateAndTime");
    xml.leaf("tt:DateTimeType", "Manual").leaf("tt:DaylightSavings", "false");
    xml.open("tt:TimeZone").leaf("tt:TZ", "UTC0").close();
    writeDateTime(xml, "tt:UTCDateTime", utc);
    writeDateTime(xml, "tt:LocalDateTime", utc);
    return SoapAnswer::of(xml.finish());
}

SoapAnswer OnvifDeviceService::deviceInformation() const
{
    common::XmlWriter xml;
    xml.open("tds:GetDeviceInformationResponse")
        .leaf("tds:Manufacturer", "Quillon")
        .leaf("tds:Model", "velkor-device")
        .leaf("tds:FirmwareVersion", "2.0")
        .leaf("tds:SerialNumber", serialNumber(m_config.uid))
        .leaf("tds:HardwareId", "emulator-" + std::to_string(m_config.channels) + "ch");
    return SoapAnswer::of(xml.finish());
}

SoapAnswer OnvifDeviceService::capabilities(const OnvifCall& call) const
{
    std::set<std::string> asked;
    for (const xmlNode* node = common::XmlTree::firstElement(call.operation); node != nullptr;
         node = node->next)
    {
        if (common::XmlTree::is(node, common::SoapNamespaces::kDevice, "Category"))
        {
            asked.insert(common::XmlTree::text(node));
        }
    }
    const bool all = asked.empty() || asked.count("All") != 0;
    for (const auto& category : asked)
    {
        if (category != "All" && category != "Device" && category != "Media" &&
            category != "Events")
        {
            return SoapAnswer::failed(SoapFault::receiver(
                {"ter:ActionNotSupported", "ter:NoSuchService"}, "No such service: " + category));
        }
    }
    common::XmlWriter xml;
    xml.open("tds:GetCapabilitiesResponse").open("tds:Capabilities");
    if (all || asked.count("Device") != 0)
    {
        xml.open("tt:Device").leaf("tt:XAddr", call.baseUrl + kPath).open("tt:System");
        for (const char* flag : {"tt:DiscoveryResolve", "tt:DiscoveryBye", "tt:RemoteDiscovery",
                                 "tt:SystemBackup", "tt:SystemLogging", "tt:FirmwareUpgrade"})
        {
            xml.leaf(flag, "false");
        }
        writeVersion(xml, "tt:SupportedVersions");
        xml.close().close();
    }
    if ((all || asked.count("Events") != 0) && m_config.onvifEventsListed)
    {
        xml.open("tt:Events").leaf("tt:XAddr", call.baseUrl + OnvifEventService::kPath);
        xml.leaf("tt:WSSubscriptionPolicySupport", "false")
            .leaf("tt:WSPullPointSupport", "true")
            .leaf("tt:WSPausableSubscriptionManagerInterfaceSupport", "false")
            .close();
    }
    if (all || asked.count("Media") != 0)
    {
        xml.open("tt:Media")
            .leaf("tt:XAddr", call.baseUrl + OnvifMediaService::kPath)
            .open("tt:StreamingCapabilities");
        xml.leaf("tt:RTPMulticast", "false")
            .leaf("tt:RTP_TCP", "false")
            .leaf("tt:RTP_RTSP_TCP", "false");
        xml.close().close();
    }
    return SoapAnswer::of(xml.finish());
}

SoapAnswer OnvifDeviceService::services(const OnvifCall& call) const
{
    const bool withCapabilities =
        common::XmlTree::text(common::XmlTree::child(
            call.operation, common::SoapNamespaces::kDevice, "IncludeCapability")) == "true";
    const std::pair<const char*, const char*> offered[] = {
        {common::SoapNamespaces::kDevice, kPath},
        {common::SoapNamespaces::kMedia, OnvifMediaService::kPath},
        {common::SoapNamespaces::kEvents, OnvifEventService::kPath}};
    common::XmlWriter xml;
    xml.open("tds:GetServicesResponse");
    for (const auto& [ns, path] : offered)
    {
        if (!m_config.onvifEventsListed && ns == std::string_view(common::SoapNamespaces::kEvents))
        {
            continue;
        }
        xml.open("tds:Service").leaf("tds:Namespace", ns).leaf("tds:XAddr", call.baseUrl + path);
        if (withCapabilities)
        {
            xml.open("tds:Capabilities");
            serviceCapabilities(xml, ns);
            xml.close();
        }
        writeVersion(xml, "tds:Version");
        xml.close();
    }
    return SoapAnswer::of(xml.finish());
}

void OnvifDeviceService::serviceCapabilities(common::XmlWriter& xml, const char* ns) const
{
    const std::string_view service(ns);
    if (service == common::SoapNamespaces::kDevice)
    {
        xml.open("tds:Capabilities")
            .empty("tds:Network", {{"IPFilter", "false"}, {"ZeroConfiguration", "false"}})
            .empty("tds:Security", {{"UsernameToken", "true"}, {"HttpDigest", "true"}})
            .empty("tds:System", {{"DiscoveryResolve", "false"}, {"DiscoveryBye", "false"}})
            .close();
        return;
    }
    if (service == common::SoapNamespaces::kMedia)
    {
        std::size_t profiles = 0;
        for (StreamFormat format : StreamFormats::all())
        {
            profiles += StreamFormats::widths(format).size();
        }
        xml.open("trt:Capabilities", {{"SnapshotUri", "false"}, {"Rotation", "false"}})
            .empty("trt:ProfileCapabilities",
                   {{"MaximumNumberOfProfiles",
                     std::to_string(profiles * static_cast<std::size_t>(m_config.channels))}})
            .empty("trt:StreamingCapabilities", {{"RTPMulticast", "false"},
                                                 {"RTP_TCP", "false"},
                                                 {"RTP_RTSP_TCP", "false"},
                                                 {"NoRTSPStreaming", "true"}})
            .close();
        return;
    }
    xml.empty("tev:Capabilities", {{"WSSubscriptionPolicySupport", "false"},
                                   {"WSPullPointSupport", "true"},
                                   {"WSPausableSubscriptionManagerInterfaceSupport", "false"}});
}

} // namespace velkordevice
