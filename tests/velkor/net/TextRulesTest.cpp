#include "velkor/net/TextRules.h"

#include "common/AsciiText.h"
#include "velkor/report/ResultCode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace velkor;

TEST(TextRules, AcceptsAddressLiteralsAndHostNames)
{
    for (const char* address :
         {"127.0.0.1", "0.0.0.0", "255.255.255.255", "::1", "fe80::1:2", "2001:db8::8a2e:370:7334",
          "::ffff:192.0.2.1", "localhost", "camera-01", "cam.example.org", "cam.example.org.", "a",
          "x1.y2", "3com.example",
          "a23456789012345678901234567890123456789012345678901234567890123.b"})
    {
        EXPECT_EQ(TextRules::checkAddress(address), Ok) << address;
    }
}

TEST(TextRules, RefusesWhatIsNoAddress)
{
    const std::string longLabel(64, 'a');
    std::string longName;
    for (int i = 0; i < 64; ++i)
    {
        longName += "abc.";
    }
    longName += "xyz";
    for (const std::string& address :
         {std::string(), std::string("."), std::string("256.1.1.1"), std::string("1.2.3"),
          std::string("1.2.3.4.5"), std::string("::1::2"), std::string("[::1]"),
          std::string("-cam"), std::string("cam-"), std::string("cam..example"),
          std::string("cam_01"), std::string("cam 01"), std::string("cam\n"),
          std::string("h\xC3\xA9llo"), longLabel, longName, std::string("http://cam"),
          std::string("cam:80")})
    {
        EXPECT_EQ(TextRules::checkAddress(address), AddressInvalid) << address;
    }
}

TEST(TextRules, ChecksCredentials)
{
    EXPECT_EQ(TextRules::checkCredential("", 4), Ok);
    EXPECT_EQ(TextRules::checkCredential("abcd", 4), Ok);
    EXPECT_EQ(TextRules::checkCredential("J\xC3\xBCrgen \xE2\x82\xAC \xF0\x9F\x94\x91", 64), Ok);
    EXPECT_EQ(TextRules::checkCredential("abcde", 4), TextTooLong);
    EXPECT_EQ(TextRules::checkCredential("tab\there", 64), TextHasControl);
    EXPECT_EQ(TextRules::checkCredential("del\x7F", 64), TextHasControl);
    EXPECT_EQ(TextRules::checkCredential("c1 \xC2\x85", 64), TextHasControl);
    EXPECT_EQ(TextRules::checkCredential("bad \xFF", 64), TextNotUtf8);
    EXPECT_EQ(TextRules::checkCredential("cut \xE2\x82", 64), TextNotUtf8);
    EXPECT_EQ(TextRules::checkCredential("overlong \xC0\xAF", 64), TextNotUtf8);
    EXPECT_EQ(TextRules::checkCredential("surrogate \xED\xA0\x80", 64), TextNotUtf8);
}

TEST(TextRules, CopiesOutWithinTheBufferAndTerminates)
{
    const std::string text = "ab\xC3\xA9"
                             "cd"; // 'é' takes bytes 2 and 3
    for (int size = 1; size <= 10; ++size)
    {
        char buffer[16];
        std::memset(buffer, 'G', sizeof buffer);
        EXPECT_EQ(TextRules::copyOut(text, buffer, size), 6) << size;
        const std::size_t length = std::strlen(buffer);
        EXPECT_LT(length, static_cast<std::size_t>(size));
        EXPECT_EQ(text.compare(0, length, buffer), 0);
        EXPECT_NE(length, 3U) << "half a character left at size " << size;
        for (std::size_t i = static_cast<std::size_t>(size); i < sizeof buffer; ++i)
        {
            EXPECT_EQ(buffer[i], 'G') << "overrun at size " << size;
        }
    }
    char untouched = 'G';
    EXPECT_EQ(TextRules::copyOut(text, &untouched, 0), InvalidArgument);
    EXPECT_EQ(TextRules::copyOut(text, &untouched, -3), InvalidArgument);
    EXPECT_EQ(untouched, 'G');
    EXPECT_EQ(TextRules::copyOut(text, nullptr, 8), InvalidArgument);
}

TEST(AsciiText, FoldsOnlyAsciiLettersAndTrimsBlanks)
{
    EXPECT_TRUE(common::AsciiText::equalsNoCase("Content-LENGTH", "content-length"));
    EXPECT_FALSE(common::AsciiText::equalsNoCase("content-length", "content-lengt"));
    // Bytes beyond ASCII and the punctuation next to the letters are not letters.
    EXPECT_FALSE(common::AsciiText::equalsNoCase("\xC3\x84", "\xC3\xA4"));
    EXPECT_FALSE(common::AsciiText::equalsNoCase("@[`{", "`{@["));
    EXPECT_TRUE(common::AsciiText::startsWithNoCase("Multipart/x-mixed-replace", "multipart/"));
    EXPECT_FALSE(common::AsciiText::startsWithNoCase("multi", "multipart/"));
    EXPECT_EQ(common::AsciiText::trim(" \t image/jpeg \r\n"), "image/jpeg");
    EXPECT_EQ(common::AsciiText::trim(" \t\r\n"), "");
    EXPECT_EQ(common::AsciiText::trim("a b"), "a b");
}
