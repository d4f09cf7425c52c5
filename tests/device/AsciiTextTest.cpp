#include "common/AsciiText.h"

#include "device/AsciiText.h"

#include <gtest/gtest.h>

namespace velkordevice
{

namespace
{

TEST(AsciiTextTest, FoldsAndTrimsAsciiOnly)
{
    EXPECT_EQ(AsciiText::lower("Digest SHA-256 \xC3\x89"), "digest sha-256 \xC3\x89");
    EXPECT_TRUE(common::AsciiText::equalsNoCase("sha-256", "SHA-256"));
    EXPECT_FALSE(common::AsciiText::equalsNoCase("SHA-256", "SHA-2567"));
    EXPECT_FALSE(common::AsciiText::equalsNoCase("@", "`"));
    // As the library trims: HTTP's blanks and line ends, nothing inside.
    EXPECT_EQ(common::AsciiText::trim(" \t a b\t \r\n"), "a b");
    EXPECT_EQ(common::AsciiText::trim(" \r\n"), "");
}

TEST(AsciiTextTest, NumbersAreBareDigits)
{
    const unsigned char bytes[] = {0x00, 0x9f, 0xa0, 0xff};
    EXPECT_EQ(AsciiText::hex(bytes, sizeof bytes), "009fa0ff");
    EXPECT_EQ(AsciiText::parseHex("00000001"), 1u);
    EXPECT_EQ(AsciiText::parseHex("ffffffffffffffff"), UINT64_MAX);
    EXPECT_EQ(AsciiText::parseDecimal("0640"), 640u);
    for (const char* bad : {"", "-1", "+1", " 1", "1 ", "0x1", "18446744073709551616"})
    {
        EXPECT_FALSE(AsciiText::parseDecimal(bad)) << bad;
    }
    for (const char* bad : {"", "-1", "0x1", "g", "10000000000000000"})
    {
        EXPECT_FALSE(AsciiText::parseHex(bad)) << bad;
    }
}

} // namespace

} // namespace velkordevice
