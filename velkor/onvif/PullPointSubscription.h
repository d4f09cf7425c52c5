#pragma once

#include "velkor/onvif/EndpointReference.h"
#include "velkor/onvif/MotionMessage.h"

#include <chrono>
#include <stop_token>
#include <string>
#include <vector>

namespace velkor
{

class OnvifAnswer;
class OnvifClient;

// One pull-point subscription at a camera's event service: the SOAP calls that make it, pull
// its messages, keep it alive and end it. Each carries WS-Addressing's headers, and those to the
// subscription its reference parameters, which many cameras require.
class PullPointSubscription
{
public:
    enum class Outcome
    {
        Answered,
        // The camera answered, but with a fault or no response: the subscription is of no use.
        Refused,
        // No answer at all: refused connection, none in time, a broken exchange.
        Silent,
        Stopped
    };

    struct Result
    {
        Outcome outcome = Outcome::Silent;
        // Why it was not answered, naming the camera and the call.
        std::string problem;
    };

    // How long a subscription is asked for each time, and the longest a pull waits for messages.
    static constexpr std::chrono::seconds kLifetime{60};
    static constexpr std::chrono::seconds kPullWait{5};
    // Unsubscribe's bound, so that Close stays prompt when the camera does not answer.
    static constexpr long kUnsubscribeTimeoutMs = 300;

    // `camera` names it in messages ("the camera at http://..."). A pull waits at most a quarter
    // of the `lifetime`, so that a Renew comes in time.
    PullPointSubscription(const OnvifClient& client, std::string camera,
                          std::chrono::seconds lifetime = kLifetime);

    Result subscribe(const std::string& eventServiceUrl, const std::stop_token& stop);
    // Waits a while for messages; `messages` gets the motion ones among them.
    Result pull(std::vector<MotionMessage>& messages, const std::stop_token& stop);
    // Whether a Renew is due: less than a third of the lifetime is left, or less than a pull
    // and a call may take.
    bool renewDue() const;
    Result renew(const std::stop_token& stop);
    // Ends the subscription, asking the camera for at most kUnsubscribeTimeoutMs whatever stops.
    void unsubscribe();

    // The subscription's address, empty before one was made.
    const std::string& address() const { return m_address; }

private:
    // Calls `action` at the subscription.
    OnvifAnswer call(const std::string& action, const std::string& body,
                     const std::stop_token& stop, long timeoutMs) const;
    Result judge(const OnvifAnswer& answer) const;
    // Its end on our clock, from the answer's CurrentTime and TerminationTime.
    void learnTermination(const xmlNode* current, const xmlNode* termination);

    const OnvifClient& m_client;
    const std::string m_camera;
    const std::chrono::seconds m_lifetime;
    const std::chrono::seconds m_pullWait;
    std::string m_address;
    // As the camera handed it out: its address goes into wsa:To as written.
    EndpointReference m_reference{{}};
    std::chrono::steady_clock::time_point m_termination;
};

} // namespace velkor
