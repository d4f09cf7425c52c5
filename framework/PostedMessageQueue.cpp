#include "framework/PostedMessageQueue.h"

#include <QCoreApplication>
#include <QEvent>

PostedMessageQueue::PostedMessageQueue(QObject* receiver) : m_receiver(receiver) {}

int PostedMessageQueue::wakeEventType()
{
    static const int type = QEvent::registerEventType();
    return type;
}

bool PostedMessageQueue::post(const PostedMessage& message)
{
    bool wake = false;
    {
        const std::lock_guard lock(m_mutex);
        if (m_closed)
        {
            return false;
        }
        m_messages.push_back(message);
        wake = !m_wakePending;
        m_wakePending = true;
    }
    if (wake)
    {
        wakeReceiver();
    }
    return true;
}

// Posting the Qt event takes a while (an allocation, Qt's own lock, a write that wakes the
// receiver's thread), so it happens outside the queue's lock, which the receiver's thread takes
// for every message. Its own lock only keeps close() from letting the receiver go meanwhile.
void PostedMessageQueue::wakeReceiver()
{
    const std::lock_guard lock(m_receiverMutex);
    if (m_receiver != nullptr)
    {
        QCoreApplication::postEvent(m_receiver,
                                    new QEvent(static_cast<QEvent::Type>(wakeEventType())));
    }
}

std::optional<PostedMessage> PostedMessageQueue::take()
{
    const std::lock_guard lock(m_mutex);
    if (m_messages.empty())
    {
        return std::nullopt;
    }
    PostedMessage message = m_messages.front();
    m_messages.pop_front();
    return message;
}

std::size_t PostedMessageQueue::size()
{
    const std::lock_guard lock(m_mutex);
    return m_messages.size();
}

void PostedMessageQueue::endRound()
{
    bool wake = false;
    {
        const std::lock_guard lock(m_mutex);
        m_wakePending = !m_closed && !m_messages.empty();
        wake = m_wakePending;
    }
    if (wake)
    {
        wakeReceiver();
    }
}

std::vector<PostedMessage> PostedMessageQueue::close()
{
    std::vector<PostedMessage> left;
    {
        const std::lock_guard lock(m_mutex);
        m_closed = true;
        left.assign(m_messages.begin(), m_messages.end());
        m_messages.clear();
    }
    // A post that took its message before the close may still be waking the receiver.
    const std::lock_guard lock(m_receiverMutex);
    m_receiver = nullptr;
    return left;
}
