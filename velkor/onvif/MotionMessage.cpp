#include "velkor/onvif/MotionMessage.h"

#include "common/SoapNamespaces.h"
#include "common/XmlTree.h"
#include "common/XsdTime.h"

#include <optional>
#include <string_view>

namespace velkor
{

using common::SoapNamespaces;
using common::XmlTree;
using common::XsdTime;

namespace
{

constexpr std::string_view kMotionAlarm = "VideoSource/MotionAlarm";
constexpr std::string_view kCellMotion = "RuleEngine/CellMotionDetector/Motion";

// The namespace a prefix (empty: the default one) stands for where `node` is, as the message
// declared it; prefixes are the camera's choice.
std::string_view namespaceOf(const xmlNode* node, std::string_view prefix)
{
    for (; node != nullptr && node->type == XML_ELEMENT_NODE; node = node->parent)
    {
        for (const xmlNs* ns = node->nsDef; ns != nullptr; ns = ns->next)
        {
            const auto* declared = reinterpret_cast<const char*>(ns->prefix);
            if ((declared == nullptr ? std::string_view() : std::string_view(declared)) == prefix)
            {
                return ns->href == nullptr ? std::string_view()
                                           : reinterpret_cast<const char*>(ns->href);
            }
        }
    }
    return {};
}

// A topic expression such as "tns1:VideoSource/MotionAlarm": each step's prefix must stand for
// ONVIF's topic namespace; a step without one belongs to the step before it.
std::optional<MotionMessage::Topic> topicOf(const xmlNode* topic)
{
    const std::string expression = XmlTree::text(topic);
    std::string path;
    std::string_view rest = expression;
    bool first = true;
    while (!rest.empty() || first)
    {
        std::string_view step = rest.substr(0, rest.find('/'));
        rest.remove_prefix(std::min(rest.size(), step.size() + 1));
        const std::size_t colon = step.find(':');
        if (colon != std::string_view::npos || first)
        {
            const std::string_view prefix =
                colon == std::string_view::npos ? std::string_view() : step.substr(0, colon);
            if (namespaceOf(topic, prefix) != SoapNamespaces::kTopics)
            {
                return std::nullopt;
            }
            step.remove_prefix(colon == std::string_view::npos ? 0 : colon + 1);
        }
        path += first ? "" : "/";
        path += step;
        first = false;
    }
    if (path == kMotionAlarm)
    {
        return MotionMessage::Topic::MotionAlarm;
    }
    if (path == kCellMotion)
    {
        return MotionMessage::Topic::CellMotion;
    }
    return std::nullopt;
}

std::optional<bool> booleanOf(const std::string& value)
{
    if (value == "true" || value == "1")
    {
        return true;
    }
    if (value == "false" || value == "0")
    {
        return false;
    }
    return std::nullopt;
}

// The topic's own data item, or else the first item that holds a boolean.
std::optional<bool> stateOf(const xmlNode* data)
{
    std::optional<bool> any;
    for (const xmlNode* item = XmlTree::firstElement(data); item != nullptr; item = item->next)
    {
        if (!XmlTree::is(item, SoapNamespaces::kSchema, "SimpleItem"))
        {
            continue;
        }
        const auto value = booleanOf(XmlTree::attribute(item, "Value"));
        const std::string name = XmlTree::attribute(item, "Name");
        if (value && (name == "State" || name == "IsMotion"))
        {
            return value;
        }
        if (!any)
        {
            any = value;
        }
    }
    return any;
}

std::vector<std::string> sourcesOf(const xmlNode* source)
{
    std::vector<std::string> values;
    for (const xmlNode* item = XmlTree::firstElement(source); item != nullptr; item = item->next)
    {
        if (XmlTree::is(item, SoapNamespaces::kSchema, "SimpleItem"))
        {
            values.push_back(XmlTree::attribute(item, "Value"));
        }
    }
    return values;
}

std::string timeOf(const xmlNode* message)
{
    const auto when = XsdTime::parseDateTime(XmlTree::attribute(message, "UtcTime"));
    if (!when)
    {
        return {};
    }
    std::string text = XsdTime::format(*when, true);
    text.pop_back(); // the zone's Z
    return text;
}

std::optional<MotionMessage> messageOf(const xmlNode* notification)
{
    const char* wsnt = SoapNamespaces::kNotification;
    const auto topic = topicOf(XmlTree::child(notification, wsnt, "Topic"));
    const xmlNode* message =
        XmlTree::find(notification, {{wsnt, "Message"}, {SoapNamespaces::kSchema, "Message"}});
    if (!topic || message == nullptr)
    {
        return std::nullopt;
    }
    const auto motion = stateOf(XmlTree::child(message, SoapNamespaces::kSchema, "Data"));
    if (!motion)
    {
        return std::nullopt;
    }
    return MotionMessage{
        *topic, sourcesOf(XmlTree::child(message, SoapNamespaces::kSchema, "Source")), *motion,
        XmlTree::attribute(message, "PropertyOperation") == "Initialized", timeOf(message)};
}

} // namespace

std::vector<MotionMessage> MotionMessage::read(const xmlNode* response)
{
    std::vector<MotionMessage> messages;
    for (const xmlNode* node = XmlTree::firstElement(response); node != nullptr; node = node->next)
    {
        if (!XmlTree::is(node, SoapNamespaces::kNotification, "NotificationMessage"))
        {
            continue;
        }
        if (auto message = messageOf(node))
        {
            messages.push_back(std::move(*message));
        }
    }
    return messages;
}

} // namespace velkor
