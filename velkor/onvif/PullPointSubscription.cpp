#include "velkor/onvif/PullPointSubscription.h"

#include "common/SoapNamespaces.h"
#include "common/XmlTree.h"
#include "common/XsdTime.h"
#include "velkor/onvif/OnvifAddress.h"
#include "velkor/onvif/OnvifClient.h"

#include <algorithm>

namespace velkor
{

using common::SoapNamespaces;
using common::XmlTree;
using common::XsdTime;

namespace
{

const std::string kEventActions = std::string(SoapNamespaces::kEvents) + "/";
constexpr const char* kManagerActions = "http://docs.oasis-open.org/wsn/bw-2/SubscriptionManager/";
constexpr long kCallTimeoutMs = 3000;

std::string element(const char* prefix, const char* ns, const std::string& name,
                    const std::string& inside)
{
    const std::string tag = std::string(prefix) + ":" + name;
    return "<" + tag + " xmlns:" + prefix + "=\"" + ns + "\">" + inside + "</" + tag + ">";
}

std::string duration(std::chrono::seconds length)
{
    return "PT" + std::to_string(length.count()) + "S";
}

} // namespace

PullPointSubscription::PullPointSubscription(const OnvifClient& client, std::string camera,
                                             std::chrono::seconds lifetime)
    : m_client(client), m_camera(std::move(camera)), m_lifetime(lifetime),
      m_pullWait(std::clamp<std::chrono::seconds>(lifetime / 4, std::chrono::seconds(1), kPullWait))
{
}

PullPointSubscription::Result PullPointSubscription::subscribe(const std::string& eventServiceUrl,
                                                               const std::stop_token& stop)
{
    const char* tev = SoapNamespaces::kEvents;
    const std::string body = element("tev", tev, "CreatePullPointSubscription",
                                     "<tev:InitialTerminationTime>" + duration(m_lifetime) +
                                         "</tev:InitialTerminationTime>");
    const std::string action = kEventActions + "EventPortType/CreatePullPointSubscriptionRequest";
    const OnvifAnswer answer = m_client.call(eventServiceUrl, action, body, stop, kCallTimeoutMs,
                                             EndpointReference(eventServiceUrl).headers(action));
    Result result = judge(answer);
    if (result.outcome != Outcome::Answered)
    {
        return result;
    }
    std::string why;
    auto reference = EndpointReference::read(
        XmlTree::child(answer.response(), tev, "SubscriptionReference"), why);
    if (!reference)
    {
        return {Outcome::Refused, m_camera + " answered CreatePullPointSubscription " + why};
    }
    m_reference = std::move(*reference);
    m_address = OnvifAddress::service(m_reference.address(), eventServiceUrl);
    const char* wsnt = SoapNamespaces::kNotification;
    learnTermination(XmlTree::child(answer.response(), wsnt, "CurrentTime"),
                     XmlTree::child(answer.response(), wsnt, "TerminationTime"));
    return result;
}

PullPointSubscription::Result PullPointSubscription::pull(std::vector<MotionMessage>& messages,
                                                          const std::stop_token& stop)
{
    const char* tev = SoapNamespaces::kEvents;
    const std::string body = element("tev", tev, "PullMessages",
                                     "<tev:Timeout>" + duration(m_pullWait) +
                                         "</tev:Timeout><tev:MessageLimit>100</tev:MessageLimit>");
    const long timeoutMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(m_pullWait).count() + kCallTimeoutMs;
    const OnvifAnswer answer =
        call(kEventActions + "PullPointSubscription/PullMessagesRequest", body, stop, timeoutMs);
    Result result = judge(answer);
    if (result.outcome == Outcome::Answered)
    {
        learnTermination(XmlTree::child(answer.response(), tev, "CurrentTime"),
                         XmlTree::child(answer.response(), tev, "TerminationTime"));
        messages = MotionMessage::read(answer.response());
    }
    return result;
}

bool PullPointSubscription::renewDue() const
{
    // Time for the longest pull and the Renew after it, also of a short lifetime.
    const auto margin = std::max<std::chrono::steady_clock::duration>(
        m_lifetime / 3, m_pullWait + std::chrono::milliseconds(kCallTimeoutMs));
    return std::chrono::steady_clock::now() > m_termination - margin;
}

PullPointSubscription::Result PullPointSubscription::renew(const std::stop_token& stop)
{
    const char* wsnt = SoapNamespaces::kNotification;
    const std::string body =
        element("wsnt", wsnt, "Renew",
                "<wsnt:TerminationTime>" + duration(m_lifetime) + "</wsnt:TerminationTime>");
    const OnvifAnswer answer =
        call(std::string(kManagerActions) + "RenewRequest", body, stop, kCallTimeoutMs);
    Result result = judge(answer);
    if (result.outcome == Outcome::Answered)
    {
        learnTermination(XmlTree::child(answer.response(), wsnt, "CurrentTime"),
                         XmlTree::child(answer.response(), wsnt, "TerminationTime"));
    }
    return result;
}

void PullPointSubscription::unsubscribe()
{
    if (m_address.empty())
    {
        return;
    }
    const std::string body =
        "<wsnt:Unsubscribe xmlns:wsnt=\"" + std::string(SoapNamespaces::kNotification) + "\"/>";
    call(std::string(kManagerActions) + "UnsubscribeRequest", body, std::stop_token(),
         kUnsubscribeTimeoutMs);
    m_address.clear();
}

OnvifAnswer PullPointSubscription::call(const std::string& action, const std::string& body,
                                        const std::stop_token& stop, long timeoutMs) const
{
    return m_client.call(m_address, action, body, stop, timeoutMs, m_reference.headers(action));
}

PullPointSubscription::Result PullPointSubscription::judge(const OnvifAnswer& answer) const
{
    if (answer.response() != nullptr)
    {
        return {Outcome::Answered, {}};
    }
    switch (answer.http().outcome)
    {
    case HttpResult::Outcome::Stopped:
        return {Outcome::Stopped, {}};
    case HttpResult::Outcome::Unreachable:
    case HttpResult::Outcome::TimedOut:
    case HttpResult::Outcome::TransportFailed:
        return {Outcome::Silent, answer.problem(m_camera)};
    default:
        return {Outcome::Refused, answer.problem(m_camera)};
    }
}

void PullPointSubscription::learnTermination(const xmlNode* current, const xmlNode* termination)
{
    const auto now = XsdTime::parseDateTime(XmlTree::text(current));
    const auto end = XsdTime::parseDateTime(XmlTree::text(termination));
    // A camera that tells neither is taken to keep the lifetime asked for.
    const auto left = now && end ? *end - *now : std::chrono::system_clock::duration(m_lifetime);
    m_termination = std::chrono::steady_clock::now() +
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(left);
}

} // namespace velkor
