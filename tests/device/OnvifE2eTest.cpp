#include "device/XsdTime.h"
#include "tests/device/HttpConnection.h"
#include "tests/device/SoapProbe.h"
#include "tests/support/Emulator.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <memory>

namespace
{

using namespace std::chrono_literals;
using velkortest::Emulator;
using Clock = std::chrono::system_clock;

constexpr const char* kDeviceService = "/onvif/device_service";

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
        auto reply = m_probe->post(path, SoapProbe::envelope(body, header));
        return reply ? *reply : SoapReply{};
    }
    SoapReply askDevice(const std::string& name, const std::string& header = {}) const
    {
        return ask(kDeviceService, SoapProbe::operation(name, SoapProbe::kDevice), header);
    }

    std::unique_ptr<Emulator> m_device;
    std::unique_ptr<SoapProbe> m_probe;
};

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

} // namespace
