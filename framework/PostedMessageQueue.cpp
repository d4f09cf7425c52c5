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
    const std::lock_guard lock(m_mutex);
    if (m_closed)
    {
        return false;
    }
    m_messages.push_back(message);
    if (!m_wakePending)
    {
        m_wakePending = true;
        // Under the lock, so close() cannot let the receiver go while the event is on its way.
        QCoreApplication::postEvent(m_receiver,
                                    new QEvent(static_cast<QEvent::Type>(wakeEventType())));
    }
    return true;
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
    const std::lock_guard lock(m_mutex);
    m_wakePending = !m_closed && !m_messages.empty();
    if (m_wakePending)
    {
        QCoreApplication::postEvent(m_receiver,
                                    new QEvent(static_cast<QEvent::Type>(wakeEventType())));
    }
}

std::vector<PostedMessage> PostedMessageQueue::close()
{
    const std::lock_guard lock(m_mutex);
    m_closed = true;
    std::vector<PostedMessage> left(m_messages.begin(), m_messages.end());
    m_messages.clear();
    return left;
}
