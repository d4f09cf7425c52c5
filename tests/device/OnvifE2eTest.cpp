#include "common/XsdTime.h"
#include "device/FrameGeometry.h"
#include "device/OnvifEventService.h"
#include "device/OnvifMediaService.h"
#include "device/StreamFormats.h"
#include "tests/device/AccessUnitProbe.h"
#include "tests/device/HttpConnection.h"
#include "tests/device/JpegProbe.h"
#include "tests/device/SoapProbe.h"
#include "tests/support/Emulator.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>

namespace velkordevice
{

namespace
{

using namespace std::chrono_literals;
using velkortest::Emulator;
using Clock = std::chrono::system_clock;

constexpr const char* kDeviceService = "/onvif/device_service";
constexpr const char* kMediaService = "/onvif/media_service";
constexpr const char* kEventService = "/onvif/event_service";

class OnvifE2eTest : public ::testing::Test
{
protected:
    void launch(const std::vector<std::string>& args)
    {
        m_device = std::make_unique<Emulator>(args);
        ASSERT_TRUE(m_device->ready()) << m_device->banner();
        m_probe = std::make_unique<SoapProbe>(m_device->port());
    }
    void TearDown() override
    {
        if (m_device)
        {
            EXPECT_EQ(m_device->stop(), 0);
        }
    }
    int port() const { return m_device->port(); }
    // The operation `name` of the device service, with `header`.
    SoapReply ask(const std::string& path, const std::string& body,
                  const std::string& header = {}) const
    {
        const auto giveUp = std::chrono::steady_clock::now() + m_busyPatience;
        while (true)
        {
            auto reply = m_probe->post(path, SoapProbe::envelope(body, header));
            if (!reply || reply->status != 503 || std::chrono::steady_clock::now() >= giveUp)
            {
                return reply ? *reply : SoapReply{};
            }
            std::this_thread::sleep_for(20ms);
        }
    }
    SoapReply askDevice(const std::string& name, const std::string& header = {}) const
    {
        return ask(kDeviceService, SoapProbe::operation(name, SoapProbe::kDevice), header);
    }
    SoapReply askStreamUri(const std::string& token, const std::string& stream = "RTP-Unicast")
    {
        return ask(kMediaService,
                   SoapProbe::operation("GetStreamUri", SoapProbe::kMedia,
                                        "<StreamSetup><tt:Stream>" + stream +
                                            "</tt:Stream><tt:Transport><tt:Protocol>RTSP</"
                                            "tt:Protocol></tt:Transport></StreamSetup>"
                                            "<ProfileToken>" +
                                            token + "</ProfileToken>"));
    }

    // The subscription's path, empty when refused.
    std::string subscribe(const std::string& lifetime = "PT60S")
    {
        const SoapReply reply = ask(
            kEventService, SoapProbe::operation("CreatePullPointSubscription", SoapProbe::kEvents,
                                                "<InitialTerminationTime>" + lifetime +
                                                    "</InitialTerminationTime>"));
        const std::string address = reply.value("//tev:SubscriptionReference/wsa:Address");
        const std::string base = "http://127.0.0.1:" + std::to_string(port());
        return address.rfind(base, 0) == 0 ? address.substr(base.size()) : std::string();
    }
    SoapReply pull(const std::string& subscription, const std::string& timeout = "PT10S")
    {
        return ask(subscription,
                   SoapProbe::operation("PullMessages", SoapProbe::kEvents,
                                        "<Timeout>" + timeout +
                                            "</Timeout><MessageLimit>10</MessageLimit>"));
    }

    std::unique_ptr<Emulator> m_device;
    std::unique_ptr<SoapProbe> m_probe;
    // How long a request refused as "too many connections" is asked again.
    std::chrono::milliseconds m_busyPatience{0};
};

constexpr const char* kNotice = "//tev:PullMessagesResponse/wsnt:NotificationMessage";

Clock::time_point reportedUtc(const SoapReply& reply)
{
    const std::string at = "//tds:SystemDateAndTime/tt:UTCDateTime/";
    std::tm utc{};
    utc.tm_year = std::stoi(reply.value(at + "tt:Date/tt:Year")) - 1900;
    utc.tm_mon = std::stoi(reply.value(at + "tt:Date/tt:Month")) - 1;
    utc.tm_mday = std::stoi(reply.value(at + "tt:Date/tt:Day"));
    utc.tm_hour = std::stoi(reply.value(at + "tt:Time/tt:Hour"));
    utc.tm_min = std::stoi(reply.value(at + "tt:Time/tt:Minute"));
    utc.tm_sec = std::stoi(reply.value(at + "tt:Time/tt:Second"));
    return Clock::from_time_t(timegm(&utc));
}

void expectNotAuthorized(const SoapReply& reply, const char* what, int status = 400)
{
    EXPECT_EQ(reply.status, status) << what;
    EXPECT_EQ(reply.value("//env:Fault/env:Code/env:Value"), "env:Sender") << what;
    EXPECT_EQ(reply.faultSubcode(), "ter:NotAuthorized") << what;
    EXPECT_EQ(reply.value("//env:Fault/env:Reason/env:Text"), "Sender not Authorized") << what;
}

TEST(OnvifStreamUriTest, ATemplateNamesTheProfilesFieldsWhereverTheyStand)
{
    const OnvifProfile profile{2, StreamFormat::H265, 640};
    EXPECT_EQ(OnvifMediaService::streamUri("http://d:1", profile),
              "http://d:1/velkor/live?channel=2&width=640&format=h265");
    EXPECT_EQ(OnvifMediaService::streamUri("http://d:1", profile,
                                           "rtsp://cam/{format}/{channel}?w={width}&f={format}"),
              "rtsp://cam/h265/2?w=640&f=h265");
}

TEST_F(OnvifE2eTest, ClockNeedsNoCredentialsAndCarriesTheOffset)
{
    launch({"--user", "admin", "--password", "secret", "--onvif-clock-offset", "-7200"});
    const SoapReply reply = askDevice("GetSystemDateAndTime");
    ASSERT_EQ(reply.status, 200) << reply.body;
    const auto offBy = reportedUtc(reply) - (Clock::now() - 2h);
    EXPECT_LT(std::chrono::abs(offBy), 5s);
}

TEST_F(OnvifE2eTest, PasswordDigestIsCheckedAgainstTheDeviceClockAndUsedOnce)
{
    launch({"--user", "admin", "--password", "secret", "--onvif-clock-offset", "3600", "--uid",
            "9021"});
    const auto deviceNow = Clock::now() + 1h;
    const std::string token =
        SoapProbe::usernameToken("admin", "secret", deviceNow, SoapProbe::randomNonce());

    const SoapReply accepted = askDevice("GetDeviceInformation", token);
    ASSERT_EQ(accepted.status, 200) << accepted.body;
    EXPECT_EQ(accepted.value("//tds:GetDeviceInformationResponse/tds:SerialNumber"),
              "VD-0000009021");
    EXPECT_FALSE(accepted.value("//tds:GetDeviceInformationResponse/tds:Model").empty());

    expectNotAuthorized(askDevice("GetDeviceInformation", token), "the same nonce again");
    expectNotAuthorized(
        askDevice("GetDeviceInformation",
                  SoapProbe::usernameToken("admin", "Secret", deviceNow, SoapProbe::randomNonce())),
        "a wrong password");
    expectNotAuthorized(askDevice("GetDeviceInformation",
                                  SoapProbe::usernameToken("admin", "secret", deviceNow - 6min,
                                                           SoapProbe::randomNonce())),
                        "created six minutes ago");
    expectNotAuthorized(
        askDevice("GetDeviceInformation", SoapProbe::usernameToken("admin", "secret", Clock::now(),
                                                                   SoapProbe::randomNonce())),
        "created by the machine's clock, an hour behind the device's");
    expectNotAuthorized(
        askDevice("GetDeviceInformation",
                  SoapProbe::usernameToken("root", "secret", deviceNow, SoapProbe::randomNonce())),
        "another user");
    EXPECT_EQ(
        askDevice("GetDeviceInformation", SoapProbe::usernameToken("admin", "secret", deviceNow,
                                                                   SoapProbe::randomNonce(), true))
            .status,
        200);
}

TEST_F(OnvifE2eTest, WithoutATokenHttpDigestIsAskedForAndAccepted)
{
    launch({"--user", "admin", "--password", "secret"});
    const SoapReply challenged = askDevice("GetDeviceInformation");
    expectNotAuthorized(challenged, "no credentials", 401);
    ASSERT_EQ(challenged.challenges.size(), 2U);
    EXPECT_EQ(challenged.challenges[0].rfind("Digest ", 0), 0U);

    const std::string request =
        SoapProbe::envelope(SoapProbe::operation("GetDeviceInformation", SoapProbe::kDevice));
    const auto post = [&](const char* credentials)
    {
        std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(),
                                                                 &curl_easy_cleanup);
        const std::string url = "http://127.0.0.1:" + std::to_string(port()) + kDeviceService;
        curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_HTTPAUTH, CURLAUTH_DIGEST);
        curl_easy_setopt(curl.get(), CURLOPT_USERPWD, credentials);
        curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, request.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 10L);
        curl_easy_setopt(
            curl.get(), CURLOPT_WRITEFUNCTION,
            +[](char*, size_t size, size_t count, void*) { return size * count; });
        long status = 0;
        if (curl_easy_perform(curl.get()) == CURLE_OK)
        {
            curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
        }
        return status;
    };
    EXPECT_EQ(post("admin:secret"), 200);
    EXPECT_EQ(post("admin:wrong"), 401);
}

TEST_F(OnvifE2eTest, BrokenAndUnknownRequestsGetTheirFaults)
{
    launch({});
    const auto broken = m_probe->post(kDeviceService, "<s:Envelope xmlns:s=\"x\"><unclosed>");
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->status, 400);
    EXPECT_EQ(broken->faultSubcode(), "ter:WellFormed");

    const auto soap11 = m_probe->post(
        kDeviceService, "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                        "<s:Body><GetDeviceInformation xmlns=\"http://www.onvif.org/ver10/"
                        "device/wsdl\"/></s:Body></s:Envelope>");
    ASSERT_TRUE(soap11);
    EXPECT_EQ(soap11->status, 500);
    EXPECT_EQ(soap11->value("//env:Fault/env:Code/env:Value"), "env:VersionMismatch");

    const SoapReply unknown = askDevice("SystemReboot");
    EXPECT_EQ(unknown.status, 500);
    EXPECT_EQ(unknown.faultSubcode(), "ter:ActionNotSupported");
    // A device operation named in another namespace.
    EXPECT_EQ(ask(kDeviceService, SoapProbe::operation("GetDeviceInformation", SoapProbe::kMedia))
                  .faultSubcode(),
              "ter:ActionNotSupported");

    const auto get = HttpConnection::get(port(), kDeviceService);
    ASSERT_TRUE(get);
    EXPECT_EQ(get->head.status, 405);
}

TEST_F(OnvifE2eTest, CapabilitiesAndServicesPointWhereTheClientReachedTheDevice)
{
    launch({});
    const std::string base = "http://127.0.0.1:" + std::to_string(port());
    const SoapReply capabilities = askDevice("GetCapabilities");
    ASSERT_EQ(capabilities.status, 200) << capabilities.body;
    EXPECT_EQ(capabilities.value("//tds:Capabilities/tt:Media/tt:XAddr"),
              base + "/onvif/media_service");
    EXPECT_EQ(capabilities.value("//tds:Capabilities/tt:Events/tt:XAddr"),
              base + "/onvif/event_service");
    EXPECT_EQ(capabilities.value("//tt:Events/tt:WSPullPointSupport"), "true");
    // A Host without a port (libonvif sends one) means the port it reached, not HTTP's 80.
    const auto portless = m_probe->post(
        kDeviceService,
        SoapProbe::envelope(SoapProbe::operation("GetCapabilities", SoapProbe::kDevice)),
        "localhost");
    ASSERT_TRUE(portless);
    EXPECT_EQ(portless->value("//tds:Capabilities/tt:Media/tt:XAddr"),
              "http://localhost:" + std::to_string(port()) + "/onvif/media_service");

    const SoapReply services = askDevice("GetServices");
    ASSERT_EQ(services.status, 200) << services.body;
    EXPECT_EQ(
        services.values("//tds:Service/tds:Namespace"),
        (std::vector<std::string>{SoapProbe::kDevice, SoapProbe::kMedia, SoapProbe::kEvents}));
    EXPECT_EQ(services.value("//tds:Service[tds:Namespace='" + std::string(SoapProbe::kMedia) +
                             "']/tds:XAddr"),
              base + "/onvif/media_service");
}

TEST_F(OnvifE2eTest, EitherProtocolCanBeLeftOut)
{
    launch({"--protocols", "onvif"});
    EXPECT_EQ(HttpConnection::get(port(), "/velkor/info")->head.status, 404);
    EXPECT_EQ(askDevice("GetDeviceInformation").status, 200);
    EXPECT_EQ(m_device->stop(), 0);

    launch({"--protocols", "velkor"});
    EXPECT_EQ(HttpConnection::get(port(), "/velkor/info")->head.status, 200);
    EXPECT_EQ(askDevice("GetDeviceInformation").status, 404);
}

struct Picture
{
    std::string contentType;
    bool keyframe = false;
    std::vector<unsigned char> data;
};

// The first part of a multipart live stream at `target`.
std::optional<Picture> firstPicture(int port, const std::string& target)
{
    HttpConnection connection;
    if (!connection.open(port) || !connection.sendGet(target))
    {
        return std::nullopt;
    }
    const auto head = connection.readHead();
    const auto boundary = connection.readLine();
    if (!head || head->status != 200 || boundary != "--velkorframe")
    {
        return std::nullopt;
    }
    Picture picture;
    std::size_t length = 0;
    for (auto line = connection.readLine(); line && !line->empty(); line = connection.readLine())
    {
        const auto colon = line->find(": ");
        const std::string name = line->substr(0, colon);
        const std::string value = colon == std::string::npos ? "" : line->substr(colon + 2);
        picture.contentType = name == "Content-Type" ? value : picture.contentType;
        length = name == "Content-Length" ? std::stoul(value) : length;
        picture.keyframe = picture.keyframe || (name == "X-Keyframe" && value == "1");
    }
    const auto body = connection.readExact(length);
    if (!body)
    {
        return std::nullopt;
    }
    picture.data.assign(body->begin(), body->end());
    return picture;
}

TEST_F(OnvifE2eTest, ProfilesNameEveryStreamAndTheirAddressesPlayIt)
{
    // The stream stays where the addresses point when the velkor protocol is left out.
    launch({"--channels", "2", "--protocols", "onvif", "--alarm-interval", "0"});
    const SoapReply profiles =
        ask(kMediaService, SoapProbe::operation("GetProfiles", SoapProbe::kMedia));
    ASSERT_EQ(profiles.status, 200) << profiles.body;
    std::vector<std::string> expected;
    for (int channel : {1, 2})
    {
        for (const char* format : {"jpeg", "mpeg4", "h264", "h265"})
        {
            for (int width : StreamFormats::widths(*StreamFormats::parse(format)))
            {
                expected.push_back("ch" + std::to_string(channel) + "_" + format + "_" +
                                   std::to_string(width));
            }
        }
    }
    EXPECT_EQ(profiles.values("//trt:Profiles/@token"), expected);

    const std::pair<const char*, const char*> checked[] = {
        {"jpeg", "JPEG"}, {"mpeg4", "MPEG4"}, {"h264", "H264"}, {"h265", "H265"}};
    const std::string base = "http://127.0.0.1:" + std::to_string(port());
    for (const auto& [format, encoding] : checked)
    {
        const std::string token = std::string("ch2_") + format + "_320";
        const std::string encoder =
            "//trt:Profiles[@token='" + token + "']/tt:VideoEncoderConfiguration/";
        EXPECT_EQ(profiles.value(encoder + "tt:Encoding"), encoding);
        EXPECT_EQ(profiles.value(encoder + "tt:Resolution/tt:Height"), "240");
        EXPECT_EQ(profiles.value("//trt:Profiles[@token='" + token +
                                 "']/tt:VideoSourceConfiguration/tt:SourceToken"),
                  "video_source_2");

        const std::string uri = askStreamUri(token).value("//trt:MediaUri/tt:Uri");
        ASSERT_EQ(uri.rfind(base + "/velkor/live?", 0), 0U) << uri;
        const auto picture = firstPicture(port(), uri.substr(base.size()));
        ASSERT_TRUE(picture) << uri;
        const auto expectedFormat = *StreamFormats::parse(format);
        EXPECT_EQ(picture->contentType, StreamFormats::contentType(expectedFormat));
        EXPECT_TRUE(picture->keyframe &&
                    AccessUnitProbe::startsStream(expectedFormat, picture->data))
            << uri;
        if (expectedFormat == StreamFormat::Jpeg)
        {
            const auto jpeg = JpegProbe::decode(picture->data);
            ASSERT_TRUE(jpeg);
            EXPECT_EQ(jpeg->width, 320);
            EXPECT_EQ(jpeg->height, 240);
        }
    }
}

TEST_F(OnvifE2eTest, StreamUriRefusesUnknownProfilesAndMulticast)
{
    launch({"--channels", "2"});
    for (const char* token : {"ch3_jpeg_320", "ch1_jpeg_321", "ch1_mpeg4_800", ""})
    {
        const SoapReply reply = askStreamUri(token);
        EXPECT_EQ(reply.status, 400) << token;
        EXPECT_EQ(reply.values("//env:Subcode/env:Value"),
                  (std::vector<std::string>{"ter:InvalidArgVal", "ter:NoProfile"}))
            << token;
    }
    EXPECT_EQ(askStreamUri("ch1_jpeg_320", "RTP-Multicast").faultSubcode(),
              "ter:InvalidStreamSetup");
}

TEST_F(OnvifE2eTest, MotionFollowsTheAlarmsThroughPullMessages)
{
    launch({"--channels", "2", "--alarm-interval", "1", "--onvif-clock-offset", "3600"});
    const std::string subscription = subscribe();
    ASSERT_FALSE(subscription.empty());
    const SoapReply initial = pull(subscription);
    ASSERT_EQ(initial.status, 200) << initial.body;
    EXPECT_EQ(initial.values(std::string(kNotice) + "//tt:Message/@PropertyOperation"),
              (std::vector<std::string>{"Initialized", "Initialized"}));

    // Motion on a channel, then off on it as the alarm moves on to the next one: from the first
    // start seen (the schedule may have begun before the subscription).
    std::vector<std::string> changes;
    const auto started = [&changes]
    {
        return std::find_if(changes.begin(), changes.end(),
                            [](const std::string& change) { return change.ends_with("=true"); });
    };
    while (changes.end() - started() < 3)
    {
        const SoapReply reply = pull(subscription);
        const auto notices = reply.values(kNotice);
        ASSERT_FALSE(notices.empty()) << "nothing within the timeout: " << reply.body;
        for (std::size_t i = 1; i <= notices.size(); ++i)
        {
            const std::string notice = std::string(kNotice) + "[" + std::to_string(i) + "]";
            EXPECT_EQ(reply.value(notice + "/wsnt:Topic"), "tns1:VideoSource/MotionAlarm");
            EXPECT_EQ(reply.value(notice + "/wsnt:Topic/@Dialect"),
                      "http://www.onvif.org/ver10/tev/topicExpression/ConcreteSet");
            const std::string message = notice + "/wsnt:Message/tt:Message";
            EXPECT_EQ(reply.value(message + "/@PropertyOperation"), "Changed");
            const auto time = common::XsdTime::parseDateTime(reply.value(message + "/@UtcTime"));
            ASSERT_TRUE(time);
            EXPECT_LT(std::chrono::abs(*time - (Clock::now() + 1h)), 15s);
            changes.push_back(
                reply.value(message + "/tt:Source/tt:SimpleItem[@Name='Source']/@Value") + "=" +
                reply.value(message + "/tt:Data/tt:SimpleItem[@Name='State']/@Value"));
        }
    }
    const std::vector<std::string> seen(started(), started() + 3);
    const std::string first = seen[0].substr(0, seen[0].find('='));
    const std::string next = first == "video_source_1" ? "video_source_2" : "video_source_1";
    EXPECT_EQ(seen, (std::vector<std::string>{first + "=true", first + "=false", next + "=true"}));
}

TEST_F(OnvifE2eTest, SubscriptionsAreRenewedEndedExpireAndAreCapped)
{
    launch({"--alarm-interval", "0"});
    const std::string renewed = subscribe();
    const SoapReply renewal = ask(renewed, "<Renew xmlns=\"http://docs.oasis-open.org/wsn/b-2\">"
                                           "<TerminationTime>PT120S</TerminationTime></Renew>");
    ASSERT_EQ(renewal.status, 200) << renewal.body;
    const auto current = common::XsdTime::parseDateTime(renewal.value("//wsnt:CurrentTime"));
    const auto termination =
        common::XsdTime::parseDateTime(renewal.value("//wsnt:TerminationTime"));
    ASSERT_TRUE(current && termination);
    EXPECT_EQ(*termination - *current, 120s);
    const SoapReply quiet = pull(renewed, "PT0.2S");
    EXPECT_EQ(quiet.values(kNotice).size(), 4U) << "the initial state of each channel";
    EXPECT_TRUE(pull(renewed, "PT0.2S").values(kNotice).empty());

    const SoapReply ended =
        ask(renewed, "<Unsubscribe xmlns=\"http://docs.oasis-open.org/wsn/b-2\"/>");
    EXPECT_EQ(ended.status, 200) << ended.body;
    EXPECT_EQ(pull(renewed).faultSubcode(), "ter:InvalidArgVal");

    const std::string brief = subscribe("PT1S");
    ASSERT_FALSE(brief.empty());
    std::vector<std::string> kept;
    for (int i = 0; i < 15; ++i)
    {
        kept.push_back(subscribe());
        EXPECT_FALSE(kept.back().empty()) << i;
    }
    EXPECT_TRUE(subscribe().empty()) << "a seventeenth";
    for (int i = 0; i < 100 && pull(brief, "PT0.1S").status == 200; ++i)
    {
    }
    EXPECT_FALSE(subscribe().empty()) << "in the place of the one expired";
}

// A client that closes its connection during a long pull (a console closing the camera) must
// not keep the connection's slot for the whole of the pull's timeout.
TEST_F(OnvifE2eTest, APullWhoseClientHangsUpGivesItsConnectionBack)
{
    launch({"--max-connections", "1", "--alarm-interval", "0"});
    // With one slot, a request right after another may find it not yet given back.
    m_busyPatience = 5s;
    const std::string subscription = subscribe();
    ASSERT_FALSE(subscription.empty());
    ASSERT_EQ(pull(subscription, "PT0.1S").status, 200) << "the initial states, taken";

    const std::string request = m_probe->request(
        subscription, SoapProbe::envelope(SoapProbe::operation(
                          "PullMessages", SoapProbe::kEvents,
                          "<Timeout>PT60S</Timeout><MessageLimit>10</MessageLimit>")));
    // A refused connection hears its 503 at once; a pull that is held says nothing.
    bool held = false;
    for (int attempt = 0; attempt < 20 && !held; ++attempt)
    {
        HttpConnection puller;
        ASSERT_TRUE(puller.open(port()));
        ASSERT_TRUE(puller.sendRaw(request));
        held = !puller.readable(500ms);
        // Closed here, held or not.
    }
    ASSERT_TRUE(held);
    // Well within the longest pull the device serves, which is how long the slot stayed taken.
    m_busyPatience = OnvifEventService::kLongestPull / 2;
    EXPECT_EQ(askDevice("GetSystemDateAndTime").status, 200);
}

} // namespace

} // namespace velkordevice
