#include "common/Decimal.h"
#include "velkor/native/DeviceEvent.h"
#include "velkor/native/DeviceInfoParser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

using velkor::DeviceEvent;
using velkor::DeviceInfoParser;

TEST(DeviceInfo, ReadsTheDevicesAnswer)
{
    const auto info =
        DeviceInfoParser::parse("device=velkor-device\r\nuid=2147483647\nchannels=4\nformats=jpeg\n"
                                "widths=320,640\nversion=1\n");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->uid, 2147483647);
    EXPECT_EQ(info->channels, 4);
    const auto minimal = DeviceInfoParser::parse("uid=0\ndevice=velkor-device");
    ASSERT_TRUE(minimal);
    EXPECT_EQ(minimal->uid, 0);
    EXPECT_EQ(minimal->channels, 1);
}

TEST(DeviceInfo, RefusesAnythingElse)
{
    EXPECT_FALSE(DeviceInfoParser::parse(""));
    EXPECT_FALSE(DeviceInfoParser::parse("<html>hello</html>"));
    EXPECT_FALSE(DeviceInfoParser::parse("device=other-device\nuid=1\n"));
    EXPECT_FALSE(DeviceInfoParser::parse("device=velkor-device\n"));
    EXPECT_FALSE(DeviceInfoParser::parse("device=velkor-device\nuid=-1\n"));
    EXPECT_FALSE(DeviceInfoParser::parse("device=velkor-device\nuid=2147483648\n"));
    EXPECT_FALSE(DeviceInfoParser::parse("device=velkor-device\nuid=12x\n"));
}

TEST(DeviceEvent, ReadsTheThreeKinds)
{
    const auto alarm =
        DeviceEvent::parse("alarm", "channel=2 type=5 status=1 time=2024-05-06T07:08:09.010");
    ASSERT_TRUE(alarm);
    EXPECT_EQ(alarm->kind, DeviceEvent::Kind::Alarm);
    EXPECT_EQ(alarm->channel, 2);
    EXPECT_EQ(alarm->type, 5);
    EXPECT_EQ(alarm->status, 1);
    EXPECT_EQ(alarm->time, "2024-05-06T07:08:09.010");

    const auto record = DeviceEvent::parse("record", "status=0 channel=3");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->kind, DeviceEvent::Kind::Record);
    EXPECT_EQ(record->channel, 3);
    EXPECT_EQ(record->status, 0);

    const auto channel = DeviceEvent::parse("channel", "channel=1 status=1 extra=ignored");
    ASSERT_TRUE(channel);
    EXPECT_EQ(channel->kind, DeviceEvent::Kind::Channel);
}

TEST(DeviceEvent, SkipsUnknownKindsAndIncompleteData)
{
    EXPECT_FALSE(DeviceEvent::parse("message", "channel=1 status=1"));
    EXPECT_FALSE(DeviceEvent::parse("alarm", "channel=1 status=1 time=2024-05-06T07:08:09.010"));
    EXPECT_FALSE(DeviceEvent::parse("alarm", "channel=1 type=1 status=1"));
    EXPECT_FALSE(DeviceEvent::parse("record", "channel=1"));
    EXPECT_FALSE(DeviceEvent::parse("channel", "channel=one status=1"));
    EXPECT_FALSE(DeviceEvent::parse("channel", ""));
}

TEST(Decimal, TakesPlainDigitsWithinRangeAndNothingElse)
{
    using namespace velkor;
    EXPECT_EQ(common::Decimal::toUnsigned("18446744073709551615"),
              std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(common::Decimal::toSigned("-9223372036854775808"),
              std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(common::Decimal::toInt32("0042", 1, 4096), 42);
    for (const char* text :
         {"", "+1", " 1", "1 ", "1\r", "0x1", "1.5", "-1", "١", "18446744073709551616"})
    {
        EXPECT_FALSE(common::Decimal::toUnsigned(text)) << text;
    }
    EXPECT_FALSE(common::Decimal::toSigned("9223372036854775808"));
    EXPECT_FALSE(common::Decimal::toInt32("4097", 1, 4096));
    EXPECT_FALSE(
        common::Decimal::toInt32("-2147483649", std::numeric_limits<std::int32_t>::min(), 0));
}
