#include "tests/support/Emulator.h"
#include "tests/velkor/support/LibraryFixture.h"
#include "velkor/report/ResultCode.h"

#include <curl/curl.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace velkor;
using velkortest::Emulator;
using velkortest::LibraryFixture;
using velkortest::RecordedEvent;

namespace
{

// The emulator's profiles of one channel: its second video source's first is channel 22.
constexpr int32_t kProfiles = 21;
constexpr const char* kWsnt = "http://docs.oasis-open.org/wsn/b-2";
constexpr const char* kTev = "http://www.onvif.org/ver10/events/wsdl";
constexpr const char* kWsa = "http://www.w3.org/2005/08/addressing";

std::size_t collect(char* data, std::size_t size, std::size_t count, void* body)
{
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

// The camera's motion, seen by the library and, independently, by the test's own SOAP calls.
class OnvifMotionTest : public LibraryFixture
{
protected:
    void start(const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> options{"--protocols", "onvif", "--channels",       "2",
                                         "--fps",       "5",     "--alarm-interval", "1"};
        options.insert(options.end(), extra.begin(), extra.end());
        m_camera = std::make_unique<Emulator>(options);
        ASSERT_TRUE(m_camera->ready()) << m_camera->banner();
        pointAt(m_camera->port());
    }

    // The HTTP status and body of a SOAP call holding `header` and `body`, at `path` of the camera,
    // with the camera's user where it has one.
    std::pair<long, std::string> post(const std::string& path, const std::string& body,
                                      const std::string& header = {}) const
    {
        const std::string envelope =
            "<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\"><env:Header>" +
            header + "</env:Header><env:Body>" + body + "</env:Body></env:Envelope>";
        const std::string url = "http://127.0.0.1:" + std::to_string(m_camera->port()) + path;
        std::string answer;
        long status = 0;
        CURL* curl = curl_easy_init();
        curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/soap+xml");
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, envelope.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 15000L);
        if (!m_userPassword.empty())
        {
            curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_DIGEST);
            curl_easy_setopt(curl, CURLOPT_USERPWD, m_userPassword.c_str());
        }
        if (curl_easy_perform(curl) == CURLE_OK)
        {
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        }
        curl_slist_free_all(headers);
        curl_easy_cleanup(curl);
        return {status, answer};
    }

    // Renew answers for a subscription the camera keeps and faults for one it does not, and
    // takes none of its messages. It goes as a camera that requires WS-Addressing takes it.
    bool subscriptionLives(const std::string& id) const
    {
        const std::string path = "/onvif/pullpoint/" + id;
        const std::string header =
            std::string("<wsa:Action xmlns:wsa=\"") + kWsa +
            "\">http://docs.oasis-open.org/wsn/bw-2/SubscriptionManager/RenewRequest</wsa:Action>"
            "<wsa:To xmlns:wsa=\"" +
            kWsa + "\">http://127.0.0.1:" + std::to_string(m_camera->port()) + path +
            "</wsa:To><SubscriptionId xmlns=\"urn:quillon:velkor-device\" xmlns:wsa=\"" + kWsa +
            "\" wsa:IsReferenceParameter=\"true\">" + id + "</SubscriptionId>";
        return post(path,
                    std::string("<wsnt:Renew xmlns:wsnt=\"") + kWsnt +
                        "\"><wsnt:TerminationTime>PT60S</wsnt:TerminationTime></wsnt:Renew>",
                    header)
                   .first == 200;
    }

    std::vector<RecordedEvent> alarms() const
    {
        std::vector<RecordedEvent> found;
        for (const RecordedEvent& event : m_listener.events())
        {
            if (event.kind == "alarm")
            {
                found.push_back(event);
            }
        }
        return found;
    }

    std::unique_ptr<Emulator> m_camera;
    std::string m_userPassword;
};

} // namespace

// As many cameras in the field: its event service and subscriptions refuse calls without
// WS-Addressing headers, and each subscription's without the reference parameter it handed out.
TEST_F(OnvifMotionTest, MotionComesAsAlarmsInTheCamerasOrderAndCloseUnsubscribes)
{
    ASSERT_NO_FATAL_FAILURE(
        start({"--onvif-addressing", "required", "--user", "operator", "--password", "pass word"}));
    m_userPassword = "operator:pass word";
    ASSERT_EQ(m_api->SetUserName("operator"), 0);
    ASSERT_EQ(m_api->SetPassword("pass word"), 0);
    ASSERT_GT(m_api->Open(), 0);
    ASSERT_TRUE(m_listener.waitForCount("alarm", 4)) << m_listener.count("error");
    // The library's is the camera's first subscription.
    EXPECT_TRUE(subscriptionLives("1"));
    EXPECT_EQ(m_api->Close(), 0);
    EXPECT_FALSE(subscriptionLives("1"));

    // The emulator moves motion on every second from one video source to the other: on, off,
    // then the other source on. Channel 1 plays the first source, channel 22 the second.
    const auto raised = alarms();
    for (std::size_t i = 0; i < raised.size(); ++i)
    {
        const RecordedEvent& alarm = raised[i];
        EXPECT_EQ(alarm.c, 1) << "type, alarm " << i;
        EXPECT_EQ(alarm.b, i % 2 == 0 ? 1 : 0) << "status, alarm " << i;
        EXPECT_TRUE(alarm.a == 1 || alarm.a == 1 + kProfiles) << alarm.a;
        EXPECT_EQ(alarm.text.size(), std::string("YYYY-MM-DDTHH:MM:SS.mmm").size()) << alarm.text;
        if (i > 0)
        {
            const int32_t before = raised[i - 1].a;
            EXPECT_EQ(alarm.a, alarm.b == 0 ? before : 2 + kProfiles - before) << i;
            EXPECT_LE(raised[i - 1].text, alarm.text) << i;
        }
    }
    EXPECT_EQ(m_listener.count("error"), 0U);
}

TEST_F(OnvifMotionTest, ACameraThatNamesNoEventServicePlaysAndRaisesNoAlarm)
{
    ASSERT_NO_FATAL_FAILURE(start({"--onvif-events", "unlisted"}));
    ASSERT_GT(m_api->Open(), 0);
    ASSERT_EQ(m_api->PlayLive(1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(m_listener.waitFor("image", 0, 320 * 65536 + 240));

    // The event service still answers the test. Once it has seen motion move on twice, a second
    // apart, a library that followed the camera's events would have raised the first.
    const auto made =
        post("/onvif/event_service",
             std::string("<tev:CreatePullPointSubscription xmlns:tev=\"") + kTev + "\"/>");
    ASSERT_EQ(made.first, 200) << made.second;
    const std::size_t at = made.second.find("/onvif/pullpoint/");
    ASSERT_NE(at, std::string::npos) << made.second;
    const std::string subscription = made.second.substr(at, made.second.find('<', at) - at);
    const std::string pull = std::string("<tev:PullMessages xmlns:tev=\"") + kTev +
                             "\"><tev:Timeout>PT5S</tev:Timeout><tev:MessageLimit>10</"
                             "tev:MessageLimit></tev:PullMessages>";
    int moves = 0;
    for (int pulls = 0; pulls < 8 && moves < 2; ++pulls)
    {
        const std::string answer = post(subscription, pull).second;
        moves += answer.find("PropertyOperation=\"Changed\"") != std::string::npos ? 1 : 0;
    }
    ASSERT_EQ(moves, 2);
    EXPECT_EQ(m_listener.count("alarm"), 0U);
    EXPECT_EQ(m_listener.count("error"), 0U);
    EXPECT_EQ(m_api->PlayControl(1, 1, nullptr, 0, nullptr), 0);
    EXPECT_EQ(m_api->Close(), 0);
}
