#pragma once

#include "velkor/onvif/MotionState.h"
#include "velkor/onvif/PullPointSubscription.h"
#include "velkor/report/EventFollower.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>

namespace velkor
{

class OnvifClient;

// Follows an ONVIF camera's motion on a thread of its own through pull-point subscriptions of its
// event service: subscribes, pulls, renews in time, subscribes again after a fault, and
// unsubscribes when destroyed. When the camera answers neither a pull nor the subscription that
// follows it, it calls onEnd once and ends.
class PullPointFollower final : public EventFollower
{
public:
    // A channel's motion started (status 1) or stopped (0), at the camera's UTC time
    // YYYY-MM-DDTHH:MM:SS.mmm.
    using MotionHandler =
        std::function<void(int32_t channel, int32_t status, const std::string& time)>;
    using EndHandler = std::function<void(const std::string& description)>;

    struct Camera
    {
        // "the camera at http://...", for messages.
        std::string name;
        std::string eventServiceUrl;
        // The channel of each token a motion message may name as its source: the video sources'
        // and their configurations'.
        std::map<std::string, int32_t> channels;
        // How long each subscription is asked for.
        std::chrono::seconds lifetime = PullPointSubscription::kLifetime;
    };

    // Pauses between subscriptions the camera refuses.
    static constexpr std::chrono::seconds kFirstPause{1};
    static constexpr std::chrono::seconds kLongestPause{8};

    PullPointFollower(std::shared_ptr<const OnvifClient> client, Camera camera,
                      MotionHandler onMotion, EndHandler onEnd);
    // Stops at once, then unsubscribes within PullPointSubscription::kUnsubscribeTimeoutMs.
    ~PullPointFollower() override;
    PullPointFollower(const PullPointFollower&) = delete;
    PullPointFollower& operator=(const PullPointFollower&) = delete;

private:
    void run(const std::stop_token& stop);
    // Pulls until a call is not answered; how that call ended. `pulled` tells whether any pull
    // was answered.
    PullPointSubscription::Result follow(PullPointSubscription& subscription, bool& pulled,
                                         const std::stop_token& stop);
    void report(const MotionMessage& message);

    const std::shared_ptr<const OnvifClient> m_client;
    const Camera m_camera;
    const MotionHandler m_onMotion;
    const EndHandler m_onEnd;
    MotionState m_state;
    // Last: it starts after everything it uses is made and stops before it is destroyed.
    std::jthread m_thread;
};

} // namespace velkor
