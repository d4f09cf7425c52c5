#pragma once

#include "device/DeviceConfig.h"
#include "device/OnvifCall.h"
#include "device/PullPointRegistry.h"
#include "device/SoapAnswer.h"

#include <optional>
#include <string>

namespace common
{
class XmlWriter;
} // namespace common

namespace velkordevice
{

class AlarmSchedule;
// ONVIF's event service: the motion topic and pull-point subscriptions to it, which follow the
// device's alarm schedule.
class OnvifEventService
{
public:
    static constexpr const char* kPath = "/onvif/event_service";
    static constexpr const char* kPullPointPrefix = "/onvif/pullpoint/";
    // The longest a PullMessages waits, whatever its Timeout asks.
    static constexpr std::chrono::seconds kLongestPull{10};

    OnvifEventService(const DeviceConfig& config, EventBus& bus, const AlarmSchedule& alarms);

    SoapAnswer answer(const OnvifCall& call);
    // The operations of the subscription `id`, at its own address.
    SoapAnswer answerPullPoint(const std::string& id, const OnvifCall& call);

private:
    using TimePoint = std::chrono::system_clock::time_point;

    static SoapAnswer eventProperties();
    SoapAnswer createPullPoint(const OnvifCall& call);
    SoapAnswer pullMessages(PullPoint& subscription, const OnvifCall& call) const;
    static SoapAnswer renew(PullPoint& subscription, const OnvifCall& call);
    SoapAnswer synchronize(PullPoint& subscription, const OnvifCall& call) const;
    static void writeNotice(common::XmlWriter& xml, const MotionNotice& notice);
    // An xs:duration from `now` or an xs:dateTime, at most a day ahead; a minute from now when
    // empty; nullopt when not after `now`.
    static std::optional<TimePoint> terminationTime(const std::string& text, TimePoint now);

    DeviceConfig m_config;
    const AlarmSchedule& m_alarms;
    PullPointRegistry m_subscriptions;
};

} // namespace velkordevice
