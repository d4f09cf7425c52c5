#include "device/HttpRequest.h"

#include <gtest/gtest.h>

namespace velkordevice
{

namespace
{

TEST(HttpRequestTest, DecodesPathAndQueryAndFindsRepeatedNames)
{
    const auto request = HttpRequest::parse("GET /velkor/%6Cive?channel=%31&width=+640&framing&"
                                            "bad=%4&=x HTTP/1.1\r\nHost: a\r\nX-Some:  v \r\n\r\n",
                                            16);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->method(), "GET");
    EXPECT_EQ(request->target(), "/velkor/%6Cive?channel=%31&width=+640&framing&bad=%4&=x");
    EXPECT_EQ(request->path(), "/velkor/live");
    EXPECT_EQ(request->param("channel"), "1");
    EXPECT_EQ(request->param("width"), " 640");
    EXPECT_TRUE(request->hasParam("framing"));
    EXPECT_EQ(request->param("framing"), "");
    EXPECT_EQ(request->param("bad"), "%4");
    EXPECT_FALSE(request->hasParam(""));
    EXPECT_EQ(request->header("x-some"), "v");
    EXPECT_EQ(request->repeatedParam(), std::nullopt);

    // Names are compared decoded: written alike or not, twice is twice.
    for (const char* query : {"channel=1&channel=1", "channel=1&%63hannel=2"})
    {
        const auto twice =
            HttpRequest::parse("GET /?" + std::string(query) + " HTTP/1.1\r\n\r\n", 16);
        ASSERT_TRUE(twice) << query;
        EXPECT_EQ(twice->repeatedParam(), "channel") << query;
    }
}

TEST(HttpRequestTest, KnowsHeadAndKeepAliveAndRefusesWhatIsNotOneRequest)
{
    const auto head = HttpRequest::parse("HEAD /velkor/info HTTP/1.0\r\n\r\n", 16);
    ASSERT_TRUE(head);
    EXPECT_TRUE(head->isHead());
    EXPECT_FALSE(head->keepAlive());
    const auto close = HttpRequest::parse("GET / HTTP/1.1\r\nConnection: close\r\n\r\n", 16);
    ASSERT_TRUE(close);
    EXPECT_FALSE(close->isHead());
    EXPECT_FALSE(close->keepAlive());
    const auto body = HttpRequest::parse("GET / HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", 16);
    ASSERT_TRUE(body);
    EXPECT_TRUE(body->keepAlive());

    EXPECT_FALSE(HttpRequest::parse("GET / HTTP/1.1\r\nContent-Length: 20\r\n\r\n", 16));
    EXPECT_FALSE(HttpRequest::parse("GET / HTTP/1.1\r\nContent-Length: 3\r\n\r\nab", 16));
    EXPECT_FALSE(HttpRequest::parse("GET /\r\n\r\n", 16));
    EXPECT_FALSE(HttpRequest::parse("GET / HTTP/1.1\r\nNo colon\r\n\r\n", 16));
}

} // namespace

} // namespace velkordevice
