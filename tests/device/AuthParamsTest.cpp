#include "device/AuthParams.h"

#include <gtest/gtest.h>

namespace velkordevice
{

namespace
{

TEST(AuthParamsTest, ParsesDigestParametersWithQuotingAndMixedCase)
{
    auto parsed = AuthParams::parse(
        R"(Digest Username="Mu\"fa,sa", realm="a b", nc=00000001 ,qop=auth,  uri="/x?a=1,b")");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->scheme, "digest");
    EXPECT_EQ(parsed->value("username"), "Mu\"fa,sa");
    EXPECT_EQ(parsed->value("realm"), "a b");
    EXPECT_EQ(parsed->value("nc"), "00000001");
    EXPECT_EQ(parsed->value("qop"), "auth");
    EXPECT_EQ(parsed->value("uri"), "/x?a=1,b");
    EXPECT_FALSE(parsed->has("response"));
}

TEST(AuthParamsTest, TakesBasicCredentialsAsOneToken)
{
    auto parsed = AuthParams::parse("Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->scheme, "basic");
    EXPECT_EQ(parsed->token, "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
    EXPECT_TRUE(parsed->params.empty());
}

TEST(AuthParamsTest, RejectsMalformedHeaders)
{
    for (const char* bad : {"", "Digest realm=\"open", "Digest a=1, a=2", "Digest =x",
                            "Digest a=1 b=2", "Digest\"x\""})
    {
        EXPECT_FALSE(AuthParams::parse(bad)) << bad;
    }
}

} // namespace

} // namespace velkordevice
