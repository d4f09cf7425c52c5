#include "device/CommandLine.h"

#include <gtest/gtest.h>

namespace velkordevice
{

namespace
{

using Action = CommandLineResult::Action;

TEST(CommandLineTest, DefaultsMatchTheProtocol)
{
    const CommandLineResult result = CommandLine::parse({});
    ASSERT_EQ(result.action, Action::Run);
    EXPECT_EQ(result.config.address, "127.0.0.1");
    EXPECT_EQ(result.config.port, 18080);
    EXPECT_EQ(result.config.channels, 4);
    EXPECT_EQ(result.config.fps, 25);
    EXPECT_EQ(result.config.auth, AuthMode::None);
    EXPECT_EQ(result.config.nonceLifetimeSeconds, 300);
    EXPECT_EQ(result.config.alarmIntervalSeconds, 10);
    EXPECT_EQ(result.config.maxConnections, 16);
    EXPECT_EQ(result.config.loop, LoopMode::Auto);
    EXPECT_TRUE(result.config.velkorProtocol && result.config.onvifProtocol);
    EXPECT_EQ(result.config.onvifClockOffsetSeconds, 0);
    EXPECT_TRUE(result.config.onvifEventsListed);
    EXPECT_FALSE(result.config.onvifAddressingRequired);
}

TEST(CommandLineTest, ReadsEveryOptionInBothSpellings)
{
    const CommandLineResult result = CommandLine::parse({"--address",
                                                         "::1",
                                                         "--port=0",
                                                         "--channels",
                                                         "7",
                                                         "--fps=30",
                                                         "--user",
                                                         "op",
                                                         "--password",
                                                         "",
                                                         "--auth=basic",
                                                         "--nonce-lifetime",
                                                         "5",
                                                         "--alarm-interval=0",
                                                         "--uid",
                                                         "2147483647",
                                                         "--max-connections",
                                                         "3",
                                                         "--loop",
                                                         "always",
                                                         "--protocols",
                                                         "onvif",
                                                         "--onvif-clock-offset",
                                                         "-5400",
                                                         "--onvif-events",
                                                         "unlisted",
                                                         "--onvif-addressing",
                                                         "required",
                                                         "--onvif-stream-uri=rtsp://h/{format}",
                                                         "--onvif-named-host",
                                                         "::2"});
    ASSERT_EQ(result.action, Action::Run) << result.error;
    const DeviceConfig& c = result.config;
    EXPECT_EQ(c.address, "::1");
    EXPECT_EQ(c.port, 0);
    EXPECT_EQ(c.channels, 7);
    EXPECT_EQ(c.fps, 30);
    EXPECT_EQ(c.user, "op");
    EXPECT_EQ(c.password, "");
    EXPECT_EQ(c.auth, AuthMode::Basic);
    EXPECT_EQ(c.nonceLifetimeSeconds, 5);
    EXPECT_EQ(c.alarmIntervalSeconds, 0);
    EXPECT_EQ(c.uid, 2147483647);
    EXPECT_EQ(c.maxConnections, 3);
    EXPECT_EQ(c.loop, LoopMode::Always);
    EXPECT_FALSE(c.velkorProtocol);
    EXPECT_TRUE(c.onvifProtocol);
    EXPECT_EQ(c.onvifClockOffsetSeconds, -5400);
    EXPECT_FALSE(c.onvifEventsListed);
    EXPECT_TRUE(c.onvifAddressingRequired);
    EXPECT_EQ(c.onvifStreamUri, "rtsp://h/{format}");
    EXPECT_EQ(c.onvifNamedHost, "[::2]");
}

TEST(CommandLineTest, CredentialsImplyDigest)
{
    const CommandLineResult result = CommandLine::parse({"--user", "a", "--password", "b"});
    ASSERT_EQ(result.action, Action::Run);
    EXPECT_EQ(result.config.auth, AuthMode::Digest);
}

TEST(CommandLineTest, HelpWinsOverEverythingElse)
{
    EXPECT_EQ(CommandLine::parse({"--port", "1", "--help"}).action, Action::ShowHelp);
    EXPECT_EQ(CommandLine::parse({"-h"}).action, Action::ShowHelp);
    const std::string usage = CommandLine::usage();
    for (const char* option :
         {"--address", "--port", "--channels", "--fps", "--user", "--password", "--auth",
          "--nonce-lifetime", "--alarm-interval", "--uid", "--max-connections", "--loop",
          "--protocols", "--onvif-clock-offset", "--onvif-events", "--onvif-addressing",
          "--onvif-stream-uri", "--onvif-named-host"})
    {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

TEST(CommandLineTest, RejectsBadInputWithAMessageNamingTheProblem)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--bogus"}, "--bogus"},
        {{"--port"}, "--port"},
        {{"--port", "65536"}, "--port"},
        {{"--port", "80x"}, "--port"},
        {{"--channels", "0"}, "--channels"},
        {{"--fps", "-1"}, "--fps"},
        {{"--uid", "2147483648"}, "--uid"},
        {{"--max-connections", ""}, "--max-connections"},
        {{"--auth", "ntlm", "--user", "a", "--password", "b"}, "--auth"},
        {{"--auth", "digest"}, "--auth"},
        {{"--user", "a"}, "--password"},
        {{"--user", "a:b", "--password", "c"}, "--user"},
        {{"--loop", "sometimes"}, "--loop"},
        {{"--protocols", "onvif,rtsp"}, "--protocols"},
        {{"--protocols", "onvif,onvif"}, "--protocols"},
        {{"--protocols", ""}, "--protocols"},
        {{"--onvif-clock-offset", "1h"}, "--onvif-clock-offset"},
        {{"--onvif-clock-offset", "-400000000"}, "--onvif-clock-offset"},
        {{"--onvif-events", "hidden"}, "--onvif-events"},
        {{"--onvif-addressing", "strict"}, "--onvif-addressing"},
        {{"--onvif-stream-uri", ""}, "--onvif-stream-uri"},
        {{"--onvif-named-host", "cam/1"}, "--onvif-named-host"},
        {{"stray"}, "stray"},
    };
    for (const auto& [args, mention] : cases)
    {
        const CommandLineResult result = CommandLine::parse(args);
        EXPECT_EQ(result.action, Action::Fail) << mention;
        EXPECT_NE(result.error.find(mention), std::string::npos) << result.error;
    }
}

} // namespace

} // namespace velkordevice
