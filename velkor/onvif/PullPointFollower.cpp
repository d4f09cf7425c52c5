#include "velkor/onvif/PullPointFollower.h"

#include "common/XsdTime.h"
#include "velkor/net/Pause.h"

#include <algorithm>
#include <exception>

namespace velkor
{

using common::XsdTime;

using Outcome = PullPointSubscription::Outcome;

PullPointFollower::PullPointFollower(std::shared_ptr<const OnvifClient> client, Camera camera,
                                     MotionHandler onMotion, EndHandler onEnd)
    : m_client(std::move(client)), m_camera(std::move(camera)), m_onMotion(std::move(onMotion)),
      m_onEnd(std::move(onEnd)), m_thread(
                                     [this](const std::stop_token& stop)
                                     {
                                         try
                                         {
                                             run(stop);
                                         }
                                         catch (const std::exception& error)
                                         {
                                             m_onEnd(std::string("the library failed to follow "
                                                                 "its events: ") +
                                                     error.what());
                                         }
                                     })
{
}

PullPointFollower::~PullPointFollower()
{
    m_thread.request_stop();
    if (m_thread.joinable())
    {
        m_thread.join();
    }
}

void PullPointFollower::run(const std::stop_token& stop)
{
    std::chrono::seconds pause = kFirstPause;
    bool answered = true;
    while (true)
    {
        PullPointSubscription subscription(*m_client, m_camera.name, m_camera.lifetime);
        auto ended = subscription.subscribe(m_camera.eventServiceUrl, stop);
        // A camera that answered neither the last call nor this is gone, as a velkor device
        // whose event stream broke.
        if (ended.outcome == Outcome::Silent && !answered)
        {
            m_onEnd(ended.problem);
            return;
        }
        bool pulled = false;
        if (ended.outcome == Outcome::Answered)
        {
            ended = follow(subscription, pulled, stop);
            if (ended.outcome != Outcome::Silent)
            {
                // Also after a fault, lest the camera keep a subscription that still runs.
                subscription.unsubscribe();
            }
        }
        if (ended.outcome == Outcome::Stopped)
        {
            return;
        }
        answered = ended.outcome != Outcome::Silent;
        // A camera that faults at once is not asked again and again without a pause.
        if (pulled)
        {
            pause = kFirstPause;
        }
        else if (Pause::stopped(stop, pause))
        {
            return;
        }
        else
        {
            pause = std::min(pause * 2, kLongestPause);
        }
    }
}

PullPointSubscription::Result PullPointFollower::follow(PullPointSubscription& subscription,
                                                        bool& pulled, const std::stop_token& stop)
{
    while (true)
    {
        if (subscription.renewDue())
        {
            auto renewed = subscription.renew(stop);
            if (renewed.outcome != Outcome::Answered)
            {
                return renewed;
            }
        }
        std::vector<MotionMessage> messages;
        auto answer = subscription.pull(messages, stop);
        if (answer.outcome != Outcome::Answered)
        {
            return answer;
        }
        pulled = true;
        for (const auto& message : messages)
        {
            report(message);
        }
    }
}

void PullPointFollower::report(const MotionMessage& message)
{
    const auto known = std::find_if(message.sources.begin(), message.sources.end(),
                                    [this](const std::string& token)
                                    { return m_camera.channels.count(token) != 0; });
    if (known == message.sources.end())
    {
        return;
    }
    const int32_t channel = m_camera.channels.at(*known);
    const auto status = m_state.update(channel, message.topic, message.motion);
    if (!status)
    {
        return;
    }
    std::string time = message.time;
    if (time.empty())
    {
        time = XsdTime::format(std::chrono::system_clock::now(), true);
        time.pop_back();
    }
    m_onMotion(channel, *status, time);
}

} // namespace velkor
