#pragma once

#include "framework/PostedMessage.h"

#include <deque>
#include <mutex>
#include <optional>
#include <vector>

class QObject;

// The messages posted to one window, waiting for its thread. Any thread may post; posting never
// waits for the window. The window thread is woken by one Qt event per batch, not per message, so
// a burst of posts costs one event-loop round trip.
class PostedMessageQueue
{
public:
    explicit PostedMessageQueue(QObject* receiver);

    // False once the queue is closed: the window is gone and the message was not taken.
    bool post(const PostedMessage& message);

    // The oldest waiting message, or nothing when the queue is empty.
    std::optional<PostedMessage> take();

    // How many messages wait now.
    std::size_t size();

    // Ends one round of taking: wakes the receiver again when messages still wait. The receiver
    // takes them in rounds, so that a flood of posts never keeps its thread from everything else.
    void endRound();

    // Refuses every later post and hands back what was still waiting.
    std::vector<PostedMessage> close();

    // The Qt event type that tells the receiver to take its messages.
    static int wakeEventType();

private:
    void wakeReceiver();

    std::mutex m_mutex;
    std::deque<PostedMessage> m_messages;
    std::mutex m_receiverMutex;
    QObject* m_receiver;
    bool m_wakePending = false;
    bool m_closed = false;
};
