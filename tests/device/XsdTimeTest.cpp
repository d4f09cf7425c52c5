#include "common/XsdTime.h"

#include <gtest/gtest.h>

namespace velkordevice
{

namespace
{

using namespace std::chrono_literals;

TEST(XsdTimeTest, DateTimesReadInAnyZoneAndWrittenInUtc)
{
    const auto noon = common::XsdTime::parseDateTime("2026-12-10T12:00:00Z");
    ASSERT_TRUE(noon);
    EXPECT_EQ(common::XsdTime::format(*noon), "2026-12-10T12:00:00Z");
    EXPECT_EQ(common::XsdTime::parseDateTime("2026-12-10T13:30:00+01:30"), noon);
    EXPECT_EQ(common::XsdTime::parseDateTime("2026-12-10T12:00:00"), noon);
    EXPECT_EQ(common::XsdTime::parseDateTime("2026-12-10T12:00:00.25Z"), *noon + 250ms);
    EXPECT_EQ(common::XsdTime::format(*noon + 250ms, true), "2026-12-10T12:00:00.250Z");
    for (const char* bad :
         {"", "2026-12-10", "2026-12-10 12:00:00Z", "2026-13-10T12:00:00Z", "2026-12-10T12:00:00.Z",
          "2026-12-10T12:00:00+0100", "2026-12-10T12:00:00Zjunk"})
    {
        EXPECT_FALSE(common::XsdTime::parseDateTime(bad)) << bad;
    }
}

TEST(XsdTimeTest, DurationsOfDaysHoursMinutesAndSeconds)
{
    EXPECT_EQ(common::XsdTime::parseDuration("PT60S"), 60s);
    EXPECT_EQ(common::XsdTime::parseDuration("PT1.5S"), 1500ms);
    EXPECT_EQ(common::XsdTime::parseDuration("P1DT2H3M4S"), 24h + 2h + 3min + 4s);
    for (const char* bad : {"", "P", "PT", "60S", "P1M", "PT5", "PT1S2", "P1Y"})
    {
        EXPECT_FALSE(common::XsdTime::parseDuration(bad)) << bad;
    }
}

} // namespace

} // namespace velkordevice
