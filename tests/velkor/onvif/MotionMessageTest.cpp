#include "velkor/onvif/MotionMessage.h"

#include "common/SoapMessage.h"
#include "velkor/onvif/MotionState.h"

#include <gtest/gtest.h>

#include <string>

using common::SoapMessage;
using velkor::MotionMessage;
using velkor::MotionState;
using Topic = velkor::MotionMessage::Topic;

namespace
{

// The emulator's answer to PullMessages, as captured, with `notifications` in its response.
std::string pullAnswer(const std::string& notifications, const std::string& extraNamespaces = "")
{
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<env:Envelope xmlns:env="http://www.w3.org/2003/05/soap-envelope" xmlns:tt="http://www.onvif.org/ver10/schema" xmlns:tev="http://www.onvif.org/ver10/events/wsdl" xmlns:wsnt="http://docs.oasis-open.org/wsn/b-2" xmlns:tns1="http://www.onvif.org/ver10/topics" )" +
           extraNamespaces +
           R"(><env:Body><tev:PullMessagesResponse><tev:CurrentTime>2026-12-10T11:52:48Z</tev:CurrentTime><tev:TerminationTime>2026-12-10T11:53:45Z</tev:TerminationTime>)" +
           notifications + "</tev:PullMessagesResponse></env:Body></env:Envelope>";
}

std::string notification(const std::string& topic, const std::string& operation,
                         const std::string& source, const std::string& data,
                         const std::string& time = "2026-12-10T11:52:45.646Z")
{
    return R"(<wsnt:NotificationMessage><wsnt:Topic Dialect="http://www.onvif.org/ver10/tev/topicExpression/ConcreteSet">)" +
           topic + R"(</wsnt:Topic><wsnt:Message><tt:Message UtcTime=")" + time +
           R"(" PropertyOperation=")" + operation + R"("><tt:Source>)" + source +
           "</tt:Source><tt:Data>" + data +
           "</tt:Data></tt:Message></wsnt:Message></wsnt:NotificationMessage>";
}

std::string item(const std::string& name, const std::string& value)
{
    return R"(<tt:SimpleItem Name=")" + name + R"(" Value=")" + value + R"("/>)";
}

std::vector<MotionMessage> read(const std::string& xml)
{
    const SoapMessage message = SoapMessage::parse(xml);
    EXPECT_EQ(message.problem(), SoapMessage::Problem::None);
    return MotionMessage::read(message.operation());
}

} // namespace

TEST(MotionMessageTest, ReadsTheEmulatorsMessagesInTheirOrder)
{
    const auto messages = read(pullAnswer(
        notification("tns1:VideoSource/MotionAlarm", "Initialized",
                     item("Source", "video_source_2"), item("State", "false")) +
        notification("tns1:VideoSource/MotionAlarm", "Changed", item("Source", "video_source_1"),
                     item("State", "true"), "2026-12-10T11:52:46.6875Z")));
    ASSERT_EQ(messages.size(), 2U);
    EXPECT_EQ(messages[0].topic, Topic::MotionAlarm);
    EXPECT_EQ(messages[0].sources, std::vector<std::string>{"video_source_2"});
    EXPECT_FALSE(messages[0].motion);
    EXPECT_TRUE(messages[0].initial);
    EXPECT_EQ(messages[0].time, "2026-12-10T11:52:45.646");
    EXPECT_EQ(messages[1].sources, std::vector<std::string>{"video_source_1"});
    EXPECT_TRUE(messages[1].motion);
    EXPECT_FALSE(messages[1].initial);
    EXPECT_EQ(messages[1].time, "2026-12-10T11:52:46.687");
}

TEST(MotionMessageTest, KnowsTheTopicsByNamespaceNotByPrefix)
{
    const std::string cell = item("VideoSourceConfigurationToken", "vsc1") +
                             item("VideoAnalyticsConfigurationToken", "va1") + item("Rule", "r");
    const std::string notifications =
        // Another prefix for ONVIF's topics, and cell motion's own data item.
        notification("on:RuleEngine/CellMotionDetector/Motion", "Changed", cell,
                     item("IsMotion", "1")) +
        // tns1 rebound to a maker's namespace on the message: not ONVIF's topic.
        R"(<wsnt:NotificationMessage xmlns:tns1="http://maker.example/topics"><wsnt:Topic>tns1:VideoSource/MotionAlarm</wsnt:Topic><wsnt:Message><tt:Message><tt:Data><tt:SimpleItem Name="State" Value="true"/></tt:Data></tt:Message></wsnt:Message></wsnt:NotificationMessage>)" +
        // A maker's step inside ONVIF's path, another topic, and no boolean state.
        notification("tns1:VideoSource/mk:MotionAlarm", "Changed", item("Source", "s"),
                     item("State", "true")) +
        notification("tns1:VideoSource/GlobalSceneChange/ImagingService", "Changed",
                     item("Source", "s"), item("State", "true")) +
        notification("tns1:VideoSource/MotionAlarm", "Changed", item("Source", "s"),
                     item("State", "maybe")) +
        // A time with a zone offset, read as UTC; a data item of another name that holds a boolean.
        notification(" tns1:VideoSource/MotionAlarm ", "Changed", item("Source", "s"),
                     item("Level", "12") + item("Motion", "false"), "2026-12-10T12:00:00+01:00");
    const auto messages = read(pullAnswer(
        notifications,
        R"(xmlns:on="http://www.onvif.org/ver10/topics" xmlns:mk="http://maker.example/topics")"));
    ASSERT_EQ(messages.size(), 2U);
    EXPECT_EQ(messages[0].topic, Topic::CellMotion);
    EXPECT_EQ(messages[0].sources, (std::vector<std::string>{"vsc1", "va1", "r"}));
    EXPECT_TRUE(messages[0].motion);
    EXPECT_EQ(messages[1].topic, Topic::MotionAlarm);
    EXPECT_FALSE(messages[1].motion);
    EXPECT_EQ(messages[1].time, "2026-12-10T11:00:00.000");
}

TEST(MotionStateTest, RaisesOnlyChangesAndOneAlarmForBothTopics)
{
    MotionState state;
    EXPECT_EQ(state.update(1, Topic::MotionAlarm, false), std::nullopt); // none yet: no news
    EXPECT_EQ(state.update(1, Topic::MotionAlarm, true), 1);
    EXPECT_EQ(state.update(1, Topic::MotionAlarm, true), std::nullopt);
    EXPECT_EQ(state.update(1, Topic::CellMotion, true), std::nullopt);
    EXPECT_EQ(state.update(2, Topic::MotionAlarm, true), 1); // channels apart
    EXPECT_EQ(state.update(1, Topic::MotionAlarm, false), std::nullopt);
    EXPECT_EQ(state.update(1, Topic::CellMotion, false), 0);
    EXPECT_EQ(state.update(2, Topic::CellMotion, false), std::nullopt);
    EXPECT_EQ(state.update(2, Topic::MotionAlarm, false), 0);
}
