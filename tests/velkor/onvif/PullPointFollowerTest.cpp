#include "velkor/onvif/PullPointFollower.h"

#include "common/SoapNamespaces.h"
#include "tests/support/Emulator.h"
#include "velkor/onvif/OnvifClient.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace velkor
{

using common::SoapNamespaces;

namespace
{

using velkortest::Emulator;

struct Motion
{
    int32_t channel = 0;
    int32_t status = 0;
    std::string time;
};

// Follows an emulator of two channels whose motion moves on every second.
class PullPointFollowerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_device = std::make_unique<Emulator>(std::vector<std::string>{
            "--protocols", "onvif", "--channels", "2", "--alarm-interval", "1"});
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

    // A call the emulator answers for a subscription it keeps and faults for one it does not,
    // without taking the subscription's messages.
    bool subscriptionLives(const std::string& path) const
    {
        const std::string wsnt = SoapNamespaces::kNotification;
        return m_client
                   ->call(url(path),
                          "http://docs.oasis-open.org/wsn/bw-2/SubscriptionManager/RenewRequest",
                          "<wsnt:Renew xmlns:wsnt=\"" + wsnt +
                              "\"><wsnt:TerminationTime>PT60S</wsnt:TerminationTime></wsnt:Renew>",
                          std::stop_token())
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
    ASSERT_TRUE(subscriptionLives("/onvif/pullpoint/1"));
    // Ended behind its back: the next pull faults, and a new subscription follows.
    const std::string wsnt = SoapNamespaces::kNotification;
    m_client->call(url("/onvif/pullpoint/1"),
                   "http://docs.oasis-open.org/wsn/bw-2/SubscriptionManager/UnsubscribeRequest",
                   "<wsnt:Unsubscribe xmlns:wsnt=\"" + wsnt + "\"/>", std::stop_token());
    std::size_t seen = 0;
    {
        std::lock_guard lock(m_mutex);
        seen = m_motions.size();
    }
    // A pull under way when it ended still answers, with the next change or two.
    ASSERT_TRUE(waitForMotions(seen + 4));
    EXPECT_TRUE(subscriptionLives("/onvif/pullpoint/2"));

    m_follower.reset();
    EXPECT_FALSE(subscriptionLives("/onvif/pullpoint/2"));
    EXPECT_TRUE(m_ends.empty());
}

TEST_F(PullPointFollowerTest, RenewsItsSubscriptionBeforeItEnds)
{
    follow(std::chrono::seconds(5));
    // Motion moves on every second, stopping on one channel and starting on the other: thirteen
    // changes take longer than the subscription's lifetime.
    ASSERT_TRUE(waitForMotions(13));
    EXPECT_TRUE(subscriptionLives("/onvif/pullpoint/1"));
    EXPECT_FALSE(subscriptionLives("/onvif/pullpoint/2"));
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

TEST(PullPointSubscriptionTest, AddressesAreAskedAtTheCameraSet)
{
    const std::string camera = "http://127.0.0.1:8080/onvif/device_service";
    EXPECT_EQ(PullPointSubscription::onCamera("http://10.0.0.5/onvif/pullpoint/7?s=1", camera),
              "http://127.0.0.1:8080/onvif/pullpoint/7?s=1");
    EXPECT_EQ(PullPointSubscription::onCamera("https://evil.example:99", camera),
              "http://127.0.0.1:8080/");
    EXPECT_EQ(PullPointSubscription::onCamera("events/1", "http://[::1]:80"),
              "http://[::1]:80/events/1");
}

} // namespace
} // namespace velkor
