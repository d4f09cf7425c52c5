#include "device/OnvifEventService.h"

#include "common/SoapNamespaces.h"
#include "common/XmlTree.h"
#include "common/XmlWriter.h"
#include "common/XsdTime.h"
#include "device/AddressingCheck.h"
#include "device/AlarmSchedule.h"
#include "device/AsciiText.h"
#include "device/OnvifProfiles.h"

#include <algorithm>

namespace velkordevice
{

namespace
{

constexpr auto kDefaultLifetime = std::chrono::seconds(60);
constexpr auto kLongestLifetime = std::chrono::hours(24);
constexpr std::size_t kDefaultMessageLimit = 100;
constexpr const char* kConcreteSet = "http://www.onvif.org/ver10/tev/topicExpression/ConcreteSet";
constexpr const char* kPullPointActions = "http://www.onvif.org/ver10/events/wsdl/";
constexpr const char* kManagerActions = "http://docs.oasis-open.org/wsn/bw-2/SubscriptionManager/";

struct Operation
{
    const char* ns;
    const char* name;
    const char* action;
    // At a subscription's address, or at the event service's.
    bool atSubscription;
};

constexpr const char* kTev = common::SoapNamespaces::kEvents;
constexpr const char* kWsnt = common::SoapNamespaces::kNotification;
constexpr Operation kOperations[] = {
    {kTev, "GetEventProperties",
     "http://www.onvif.org/ver10/events/wsdl/EventPortType/GetEventPropertiesRequest", false},
    {kTev, "CreatePullPointSubscription",
     "http://www.onvif.org/ver10/events/wsdl/EventPortType/CreatePullPointSubscriptionRequest",
     false},
    {kTev, "PullMessages",
     "http://www.onvif.org/ver10/events/wsdl/PullPointSubscription/PullMessagesRequest", true},
    {kTev, "SetSynchronizationPoint",
     "http://www.onvif.org/ver10/events/wsdl/PullPointSubscription/"
     "SetSynchronizationPointRequest",
     true},
    {kWsnt, "Renew", "http://docs.oasis-open.org/wsn/bw-2/SubscriptionManager/RenewRequest", true},
    {kWsnt, "Unsubscribe",
     "http://docs.oasis-open.org/wsn/bw-2/SubscriptionManager/UnsubscribeRequest", true},
};

// The WS-Addressing action of an operation offered where it was asked, nullptr for another.
const char* actionOf(const xmlNode* operation, bool atSubscription)
{
    for (const Operation& known : kOperations)
    {
        if (known.atSubscription == atSubscription &&
            common::XmlTree::is(operation, known.ns, known.name))
        {
            return known.action;
        }
    }
    return nullptr;
}

// Why a call is not served where it came: an operation not offered there, or, where WS-Addressing
// is required, headers that do not address it to `address`.
std::optional<SoapFault> refusalOf(const OnvifCall& call, bool atSubscription,
                                   const std::string& address, bool addressingRequired)
{
    const char* action = actionOf(call.operation, atSubscription);
    if (action == nullptr)
    {
        return SoapFault::actionNotSupported();
    }
    if (!addressingRequired)
    {
        return std::nullopt;
    }
    return AddressingCheck::refusal(call.header, action, address, atSubscription);
}

SoapFault unknownSubscription()
{
    return SoapFault::sender({"ter:InvalidArgVal"},
                             "No such subscription: it ended or its termination time passed");
}

void writeTimes(common::XmlWriter& xml, const char* ns, std::chrono::system_clock::time_point now,
                std::chrono::system_clock::time_point termination)
{
    const std::string prefix = ns;
    xml.leaf(prefix + ":CurrentTime", common::XsdTime::format(now))
        .leaf(prefix + ":TerminationTime", common::XsdTime::format(termination));
}

} // namespace

OnvifEventService::OnvifEventService(const DeviceConfig& config, EventBus& bus,
                                     const AlarmSchedule& alarms)
    : m_config(config), m_alarms(alarms),
      m_subscriptions(bus, std::chrono::seconds(config.onvifClockOffsetSeconds))
{
}

SoapAnswer OnvifEventService::answer(const OnvifCall& call)
{
    if (auto refused =
            refusalOf(call, false, call.baseUrl + kPath, m_config.onvifAddressingRequired))
    {
        return SoapAnswer::failed(*refused);
    }
    if (common::XmlTree::is(call.operation, kTev, "GetEventProperties"))
    {
        return eventProperties();
    }
    return createPullPoint(call);
}

SoapAnswer OnvifEventService::answerPullPoint(const std::string& id, const OnvifCall& call)
{
    if (auto refused = refusalOf(call, true, call.baseUrl + kPullPointPrefix + id,
                                 m_config.onvifAddressingRequired))
    {
        return SoapAnswer::failed(*refused);
    }
    // A message that names another subscription than its address's reaches none.
    const auto named = AddressingCheck::subscriptionId(call.header);
    if (named && *named != id)
    {
        return SoapAnswer::failed(unknownSubscription());
    }
    if (common::XmlTree::is(call.operation, kWsnt, "Unsubscribe"))
    {
        if (!m_subscriptions.remove(id))
        {
            return SoapAnswer::failed(unknownSubscription());
        }
        return SoapAnswer::of(common::XmlWriter().empty("wsnt:UnsubscribeResponse", {}).finish(),
                              std::string(kManagerActions) + "UnsubscribeResponse");
    }
    const auto subscription = m_subscriptions.find(id, call.now);
    if (!subscription)
    {
        return SoapAnswer::failed(unknownSubscription());
    }
    if (common::XmlTree::is(call.operation, kTev, "PullMessages"))
    {
        return pullMessages(*subscription, call);
    }
    if (common::XmlTree::is(call.operation, kWsnt, "Renew"))
    {
        return renew(*subscription, call);
    }
    return synchronize(*subscription, call);
}

SoapAnswer OnvifEventService::eventProperties()
{
    common::XmlWriter xml;
    xml.open("tev:GetEventPropertiesResponse")
        .leaf("tev:TopicNamespaceLocation", "http://www.onvif.org/onvif/ver10/topics/topicns.xml")
        .leaf("wsnt:FixedTopicSet", "true");
    xml.open("wstop:TopicSet")
        .open("tns1:VideoSource")
        .open("MotionAlarm", {{"wstop:topic", "true"}});
    xml.open("tt:MessageDescription", {{"IsProperty", "true"}})
        .open("tt:Source")
        .empty("tt:SimpleItemDescription", {{"Name", "Source"}, {"Type", "tt:ReferenceToken"}})
        .close()
        .open("tt:Data")
        .empty("tt:SimpleItemDescription", {{"Name", "State"}, {"Type", "xs:boolean"}})
        .close()
        .close()
        .close()
        .close()
        .close();
    xml.leaf("wsnt:TopicExpressionDialect", kConcreteSet)
        .leaf("wsnt:TopicExpressionDialect",
              "http://docs.oasis-open.org/wsn/t-1/TopicExpression/Concrete")
        .leaf("tev:MessageContentFilterDialect",
              "http://www.onvif.org/ver10/tev/messageContentFilter/ItemFilter")
        .leaf("tev:MessageContentSchemaLocation",
              "http://www.onvif.org/onvif/ver10/schema/onvif.xsd");
    return SoapAnswer::of(xml.finish());
}

SoapAnswer OnvifEventService::createPullPoint(const OnvifCall& call)
{
    const auto termination = terminationTime(
        common::XmlTree::text(common::XmlTree::child(
            call.operation, common::SoapNamespaces::kEvents, "InitialTerminationTime")),
        call.now);
    if (!termination)
    {
        return SoapAnswer::failed(SoapFault::invalidArgVal(
            "ter:InvalidArgVal", "InitialTerminationTime is not a time after the current one"));
    }
    const auto created = m_subscriptions.create(*termination, call.now);
    if (!created)
    {
        return SoapAnswer::failed(
            SoapFault::receiver({}, "The device keeps no more pull-point subscriptions"));
    }
    // A property's subscriber first learns how things stand.
    created->second->synchronize(m_config.channels, m_alarms.alarmedChannel(), call.now);
    common::XmlWriter xml;
    xml.open("tev:CreatePullPointSubscriptionResponse")
        .open("tev:SubscriptionReference")
        .leaf("wsa:Address", call.baseUrl + kPullPointPrefix + created->first)
        .open("wsa:ReferenceParameters")
        .leaf(std::string("vd:") + AddressingCheck::kSubscriptionId, created->first)
        .close()
        .close();
    writeTimes(xml, "wsnt", call.now, *termination);
    return SoapAnswer::of(xml.finish(), std::string(kPullPointActions) +
                                            "EventPortType/CreatePullPointSubscriptionResponse");
}

SoapAnswer OnvifEventService::pullMessages(PullPoint& subscription, const OnvifCall& call) const
{
    const char* tev = common::SoapNamespaces::kEvents;
    const auto timeout = common::XsdTime::parseDuration(
        common::XmlTree::text(common::XmlTree::child(call.operation, tev, "Timeout")));
    const std::string limitText =
        common::XmlTree::text(common::XmlTree::child(call.operation, tev, "MessageLimit"));
    const auto limit = limitText.empty() ? std::optional<std::uint64_t>(kDefaultMessageLimit)
                                         : AsciiText::parseDecimal(limitText);
    if (!timeout || !limit || *limit == 0)
    {
        return SoapAnswer::failed(SoapFault::invalidArgVal(
            "ter:InvalidArgVal", "PullMessages needs a Timeout and a positive MessageLimit"));
    }
    const auto notices = subscription.pull(
        std::min<std::chrono::milliseconds>(*timeout, kLongestPull),
        static_cast<std::size_t>(std::min<std::uint64_t>(*limit, kDefaultMessageLimit * 10)),
        call.clientHasLeft);
    common::XmlWriter xml;
    xml.open("tev:PullMessagesResponse");
    writeTimes(xml, "tev",
               std::chrono::system_clock::now() +
                   std::chrono::seconds(m_config.onvifClockOffsetSeconds),
               subscription.termination());
    for (const auto& notice : notices)
    {
        writeNotice(xml, notice);
    }
    return SoapAnswer::of(xml.finish(), std::string(kPullPointActions) +
                                            "PullPointSubscription/PullMessagesResponse");
}

SoapAnswer OnvifEventService::renew(PullPoint& subscription, const OnvifCall& call)
{
    const auto termination = terminationTime(
        common::XmlTree::text(common::XmlTree::child(
            call.operation, common::SoapNamespaces::kNotification, "TerminationTime")),
        call.now);
    if (!termination)
    {
        return SoapAnswer::failed(SoapFault::invalidArgVal(
            "ter:InvalidArgVal", "TerminationTime is not a time after the current one"));
    }
    subscription.setTermination(*termination);
    common::XmlWriter xml;
    xml.open("wsnt:RenewResponse")
        .leaf("wsnt:TerminationTime", common::XsdTime::format(*termination))
        .leaf("wsnt:CurrentTime", common::XsdTime::format(call.now));
    return SoapAnswer::of(xml.finish(), std::string(kManagerActions) + "RenewResponse");
}

SoapAnswer OnvifEventService::synchronize(PullPoint& subscription, const OnvifCall& call) const
{
    subscription.synchronize(m_config.channels, m_alarms.alarmedChannel(), call.now);
    return SoapAnswer::of(
        common::XmlWriter().empty("tev:SetSynchronizationPointResponse", {}).finish());
}

void OnvifEventService::writeNotice(common::XmlWriter& xml, const MotionNotice& notice)
{
    xml.open("wsnt:NotificationMessage")
        .open("wsnt:Topic", {{"Dialect", kConcreteSet}})
        .text("tns1:VideoSource/MotionAlarm")
        .close();
    xml.open("wsnt:Message")
        .open("tt:Message", {{"UtcTime", common::XsdTime::format(notice.time, true)},
                             {"PropertyOperation", notice.initial ? "Initialized" : "Changed"}});
    xml.open("tt:Source")
        .empty("tt:SimpleItem",
               {{"Name", "Source"}, {"Value", OnvifProfiles::sourceToken(notice.channel)}})
        .close();
    xml.open("tt:Data")
        .empty("tt:SimpleItem", {{"Name", "State"}, {"Value", notice.motion ? "true" : "false"}})
        .close();
    xml.close().close().close();
}

std::optional<OnvifEventService::TimePoint>
OnvifEventService::terminationTime(const std::string& text, TimePoint now)
{
    if (text.empty())
    {
        return now + kDefaultLifetime;
    }
    std::optional<TimePoint> when;
    if (text.front() == 'P')
    {
        if (const auto duration = common::XsdTime::parseDuration(text))
        {
            when = now + *duration;
        }
    }
    else
    {
        when = common::XsdTime::parseDateTime(text);
    }
    if (!when || *when <= now)
    {
        return std::nullopt;
    }
    return std::min<TimePoint>(*when, now + kLongestLifetime);
}

} // namespace velkordevice
