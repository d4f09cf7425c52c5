#include "velkor/onvif/PullPointFollower.h"

#include "common/SoapMessage.h"
#include "common/SoapNamespaces.h"
#include "common/XmlTree.h"
#include "tests/support/Emulator.h"
#include "velkor/onvif/EndpointReference.h"
#include "velkor/onvif/OnvifClient.h"

#include <gtest/gtest.h>
#include <libxml/tree.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace velkor
{

using common::SoapMessage;
using common::SoapNamespaces;
using common::XmlTree;

namespace
{

using velkortest::Emulator;

struct Motion
{
    int32_t channel = 0;
    int32_t status = 0;
    std::string time;
};

// Follows an emulator of two channels whose motion moves on every second, and which refuses
// event calls without WS-Addressing's headers and its subscriptions' reference parameters.
class PullPointFollowerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_device = std::make_unique<Emulator>(
            std::vector<std::string>{"--protocols", "onvif", "--channels", "2", "--alarm-interval",
                                     "1", "--onvif-addressing", "required"});
        ASSERT_TRUE(m_device->ready()) << m_device->banner();
    }

    std::string url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(m_device->port()) + path;
    }

    void follow(std::chrono::seconds lifetime = PullPointSubscription::kLifetime)
    {
        PullPointFollower::Camera camera{"the camera",
                                         url("/onvif/event_service"),
                                         {{"video_source_1", 1}, {"video_source_2", 2}}};
        camera.lifetime = lifetime;
        m_follower = std::make_unique<PullPointFollower>(
            m_client, camera,
            [this](int32_t channel, int32_t status, const std::string& time)
            {
                std::lock_guard lock(m_mutex);
                m_motions.push_back({channel, status, time});
                m_changed.notify_all();
            },
            [this](const std::string& description)
            {
                std::lock_guard lock(m_mutex);
                m_ends.push_back(description);
                m_changed.notify_all();
            });
    }

    bool waitForMotions(std::size_t count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20),
                                  [&] { return m_motions.size() >= count; });
    }

    // An `operation` of the subscription manager at the subscription `id`, addressed as the
    // emulator requires.
    OnvifAnswer callSubscription(const std::string& id, const std::string& operation,
                                 const std::string& content = {}) const
    {
        const std::string address = url("/onvif/pullpoint/" + id);
        const std::string action =
            "http://docs.oasis-open.org/wsn/bw-2/SubscriptionManager/" + operation + "Request";
        const std::string wsnt = SoapNamespaces::kNotification;
        const std::string reference =
            "<vd:SubscriptionId xmlns:vd=\"urn:quillon:velkor-device\" xmlns:wsa=\"" +
            std::string(SoapNamespaces::kAddressing) + "\" wsa:IsReferenceParameter=\"true\">" +
            id + "</vd:SubscriptionId>";
        return m_client->call(address, action,
                              "<wsnt:" + operation + " xmlns:wsnt=\"" + wsnt + "\">" + content +
                                  "</wsnt:" + operation + ">",
                              std::stop_token(), 3000,
                              EndpointReference(address).headers(action) + reference);
    }

    // A call the emulator answers for a subscription it keeps and faults for one it does not,
    // without taking the subscription's messages.
    bool subscriptionLives(const std::string& id) const
    {
        return callSubscription(id, "Renew", "<wsnt:TerminationTime>PT60S</wsnt:TerminationTime>")
                   .response() != nullptr;
    }

    std::unique_ptr<Emulator> m_device;
    std::shared_ptr<OnvifClient> m_client = std::make_shared<OnvifClient>("", "");
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Motion> m_motions;
    std::vector<std::string> m_ends;
    std::unique_ptr<PullPointFollower> m_follower;
};

TEST_F(PullPointFollowerTest, MotionStartsAndStopsInTheOrderTheCameraRaisedIt)
{
    follow();
    ASSERT_TRUE(waitForMotions(5));
    m_follower.reset();
    std::lock_guard lock(m_mutex);
    // One channel at a time: on, off, then the next channel on; the emulator's first Initialized
    // states (no motion) raise nothing.
    for (std::size_t i = 0; i < m_motions.size(); ++i)
    {
        const Motion& motion = m_motions[i];
        EXPECT_EQ(motion.status, i % 2 == 0 ? 1 : 0) << i;
        if (i > 0)
        {
            const int32_t before = m_motions[i - 1].channel;
            EXPECT_EQ(motion.channel, motion.status == 0 ? before : 3 - before) << i;
            EXPECT_LE(m_motions[i - 1].time, motion.time) << i;
        }
        EXPECT_EQ(motion.time.size(), std::string("YYYY-MM-DDTHH:MM:SS.mmm").size());
    }
    EXPECT_TRUE(m_ends.empty());
}

TEST_F(PullPointFollowerTest, SubscribesAgainAfterAFaultAndUnsubscribesWhenDestroyed)
{
    follow();
    ASSERT_TRUE(waitForMotions(1));
    ASSERT_TRUE(subscriptionLives("1"));
    // Ended behind its back: the next pull faults, and a new subscription follows.
    ASSERT_NE(callSubscription("1", "Unsubscribe").response(), nullptr);
    std::size_t seen = 0;
    {
        std::lock_guard lock(m_mutex);
        seen = m_motions.size();
    }
    // A pull under way when it ended still answers, with the next change or two.
    ASSERT_TRUE(waitForMotions(seen + 4));
    EXPECT_TRUE(subscriptionLives("2"));

    m_follower.reset();
    EXPECT_FALSE(subscriptionLives("2"));
    EXPECT_TRUE(m_ends.empty());
}

TEST_F(PullPointFollowerTest, RenewsItsSubscriptionBeforeItEnds)
{
    follow(std::chrono::seconds(5));
    // Motion moves on every second, stopping on one channel and starting on the other: thirteen
    // changes take longer than the subscription's lifetime.
    ASSERT_TRUE(waitForMotions(13));
    EXPECT_TRUE(subscriptionLives("1"));
    EXPECT_FALSE(subscriptionLives("2"));
}

TEST_F(PullPointFollowerTest, ACameraThatNoLongerAnswersEndsIt)
{
    follow();
    ASSERT_TRUE(waitForMotions(1));
    m_device->kill();
    std::unique_lock lock(m_mutex);
    ASSERT_TRUE(
        m_changed.wait_for(lock, std::chrono::seconds(20), [&] { return !m_ends.empty(); }));
    EXPECT_NE(m_ends.front().find("the camera"), std::string::npos) << m_ends.front();
    EXPECT_NE(m_ends.front().find("CreatePullPointSubscription"), std::string::npos)
        << m_ends.front();
}

std::string attribute(const xmlNode* node, const char* ns, const char* name)
{
    const std::unique_ptr<xmlChar, void (*)(void*)> value(
        xmlGetNsProp(node, reinterpret_cast<const xmlChar*>(name),
                     reinterpret_cast<const xmlChar*>(ns)),
        xmlFree);
    return value ? std::string(reinterpret_cast<const char*>(value.get())) : "(none)";
}

// A camera's answer whose body holds a subscription reference with `parameters`; the envelope
// declares the prefixes they use.
SoapMessage answer(const std::string& parameters)
{
    return SoapMessage::parse(
        "<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\" xmlns:a=\"" +
        std::string(SoapNamespaces::kAddressing) +
        "\" xmlns:c=\"urn:cam\" xmlns:t=\"urn:topics\"><e:Body><c:Reference><a:Address>"
        "http://cam/s?a=1&amp;b=&lt;2&gt;</a:Address><a:ReferenceParameters>" +
        parameters + "</a:ReferenceParameters></c:Reference></e:Body></e:Envelope>");
}

// The reference parameters go back as the camera wrote them, whatever the camera wrote.
TEST(EndpointReferenceTest, ParametersGoBackWithTheirNamespacesAsMarkupOfTheirOwn)
{
    const std::string wsa = SoapNamespaces::kAddressing;
    std::string why;
    const SoapMessage made = answer("<c:Id c:kind=\"pull\">7&lt;/c:Id&gt;&lt;evil/&gt;</c:Id>"
                                    "<Topic xmlns=\"urn:other\">t:Motion</Topic>");
    const auto reference = EndpointReference::read(made.operation(), why);
    ASSERT_TRUE(reference) << why;
    const SoapMessage sent = SoapMessage::parse(
        "<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\"><e:Header>" +
        reference->headers("urn:act") + "</e:Header><e:Body><x/></e:Body></e:Envelope>");
    ASSERT_EQ(sent.problem(), SoapMessage::Problem::None);
    std::vector<const xmlNode*> blocks;
    for (const xmlNode* node = XmlTree::firstElement(sent.header()); node != nullptr;
         node = node->next)
    {
        blocks.push_back(node);
    }
    ASSERT_EQ(blocks.size(), 6U);
    EXPECT_EQ(XmlTree::text(XmlTree::child(sent.header(), wsa, "To")), "http://cam/s?a=1&b=<2>");
    const xmlNode* id = blocks[4];
    ASSERT_TRUE(XmlTree::is(id, "urn:cam", "Id"));
    EXPECT_EQ(XmlTree::text(id, true), "7</c:Id><evil/>");
    EXPECT_EQ(XmlTree::firstElement(id), nullptr);
    EXPECT_EQ(attribute(id, "urn:cam", "kind"), "pull");
    EXPECT_EQ(attribute(id, wsa.c_str(), "IsReferenceParameter"), "true");
    // A QName in the content keeps the namespace its prefix had where the camera wrote it.
    const xmlNode* topic = blocks[5];
    ASSERT_TRUE(XmlTree::is(topic, "urn:other", "Topic"));
    const xmlNs* t =
        xmlSearchNs(topic->doc, const_cast<xmlNode*>(topic), reinterpret_cast<const xmlChar*>("t"));
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(t->href), "urn:topics");

    // Beyond the bounds, nothing goes back.
    std::string many;
    for (std::size_t i = 0; i <= EndpointReference::kMaxParameters; ++i)
    {
        many += "<c:Id>" + std::to_string(i) + "</c:Id>";
    }
    EXPECT_FALSE(EndpointReference::read(answer(many).operation(), why));
    const std::string large(EndpointReference::kMaxParameterBytes, 'x');
    EXPECT_FALSE(EndpointReference::read(answer("<c:Id>" + large + "</c:Id>").operation(), why));
    EXPECT_NE(why.find("reference parameters"), std::string::npos) << why;
}

} // namespace
} // namespace velkor
