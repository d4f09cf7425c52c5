#include "common/Base64.h"

#include <gtest/gtest.h>

namespace velkordevice
{

namespace
{

TEST(Base64Test, RoundTripsRfc4648Vectors)
{
    const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                           {"f", "Zg=="},
                                                           {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},
                                                           {"foob", "Zm9vYg=="},
                                                           {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, encoded] : vectors)
    {
        EXPECT_EQ(common::Base64::encode(plain), encoded);
        EXPECT_EQ(common::Base64::decode(encoded), std::string(plain));
    }
}

TEST(Base64Test, KeepsBinaryBytes)
{
    const std::string bytes("\x00\xff\x10:\x80", 5);
    EXPECT_EQ(common::Base64::decode(common::Base64::encode(bytes)), bytes);
}

TEST(Base64Test, RejectsMalformedInput)
{
    // Zh== and Zm9= carry bits beyond their last byte; "\tZg=" is blank-led.
    for (const char* bad : {"Zg", "Zg=", "Z===", "====", "Zm9v!A==", "Zg==Zg==", "Z=g=", "Zm 9v",
                            "Zh==", "Zm9=", "\tZg=", "Zm9v\n\n\n\n"})
    {
        EXPECT_FALSE(common::Base64::decode(bad)) << bad;
    }
}

} // namespace

} // namespace velkordevice
