#include "device/RequestReader.h"

#include "common/AsciiText.h"
#include "device/AsciiText.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velkordevice
{

RequestReader::RequestReader(int socket, const RequestLimits& limits, int wakeFd)
    : m_socket(socket), m_limits(limits), m_wakeFd(wakeFd),
      // The largest request that passes, with room for the line ends.
      m_buffer(limits.requestLine + limits.headerBlock + limits.body + 8)
{
}

RequestReader::Outcome RequestReader::next()
{
    m_refusalStatus = 0;
    m_refusalText.clear();
    bool timedOut = false;
    if (m_size == 0 && !fill(Clock::now() + m_limits.idle, timedOut))
    {
        return timedOut ? Outcome::Idle : Outcome::Closed;
    }
    const auto deadline = Clock::now() + m_limits.arrival;
    while (true)
    {
        switch (scan())
        {
        case Scan::Complete:
            return Outcome::Request;
        case Scan::Refused:
            return Outcome::Refused;
        case Scan::Incomplete:
            break;
        }
        if (m_size == m_buffer.size())
        {
            refuse(431, "request too large\n");
            return Outcome::Refused;
        }
        if (!fill(deadline, timedOut))
        {
            if (!timedOut)
            {
                return Outcome::Closed;
            }
            refuse(408, "request incomplete after " +
                            std::to_string(m_limits.arrival.count() / 1000) + " s\n");
            return Outcome::Refused;
        }
    }
}

std::string_view RequestReader::request() const
{
    return {m_buffer.data(), m_headSize + m_bodySize};
}

void RequestReader::consume()
{
    const std::size_t used = std::min(m_size, m_headSize + m_bodySize);
    std::memmove(m_buffer.data(), m_buffer.data() + used, m_size - used);
    m_size -= used;
    m_lineStart = 0;
    m_requestLineDone = false;
    m_headerBytes = 0;
    m_headSize = 0;
    m_bodySize = 0;
    m_lengthSeen = false;
}

RequestReader::Scan RequestReader::scan()
{
    while (m_headSize == 0)
    {
        const std::size_t limit = m_requestLineDone ? m_limits.headerLine : m_limits.requestLine;
        const int tooLong = m_requestLineDone ? 431 : 414;
        const char* lineStart = m_buffer.data() + m_lineStart;
        const char* newline =
            static_cast<const char*>(std::memchr(lineStart, '\n', m_size - m_lineStart));
        if (newline == nullptr)
        {
            // One more than the limit may be the line's CR.
            const std::size_t pending = m_size - m_lineStart;
            if (pending > limit + 1 ||
                (m_requestLineDone && m_headerBytes + pending > m_limits.headerBlock))
            {
                return refuse(tooLong, tooLong == 414 ? "request line too long\n"
                                                      : "request header too large\n");
            }
            return Scan::Incomplete;
        }
        const std::size_t next = static_cast<std::size_t>(newline - m_buffer.data()) + 1;
        std::string_view line(lineStart, static_cast<std::size_t>(newline - lineStart));
        if (!line.empty() && line.back() == '\r')
        {
            line.remove_suffix(1);
        }
        if (line.size() > limit)
        {
            return refuse(tooLong, tooLong == 414 ? "request line too long\n"
                                                  : "request header too large\n");
        }
        if (takeLine(line, next) == Scan::Refused)
        {
            return Scan::Refused;
        }
    }
    return m_size >= m_headSize + m_bodySize ? Scan::Complete : Scan::Incomplete;
}

RequestReader::Scan RequestReader::takeLine(std::string_view line, std::size_t next)
{
    if (!m_requestLineDone)
    {
        if (line.empty())
        {
            // Blank lines before a request are tolerated and dropped (RFC 9112, 2.2).
            std::memmove(m_buffer.data(), m_buffer.data() + next, m_size - next);
            m_size -= next;
            return Scan::Incomplete;
        }
        m_requestLineDone = true;
    }
    else if (line.empty())
    {
        m_headSize = next;
        return Scan::Complete;
    }
    else
    {
        m_headerBytes += next - m_lineStart;
        if (m_headerBytes > m_limits.headerBlock)
        {
            return refuse(431, "request header too large\n");
        }
        if (!checkHeader(line))
        {
            return Scan::Refused;
        }
    }
    m_lineStart = next;
    return Scan::Incomplete;
}

bool RequestReader::checkHeader(std::string_view line)
{
    const std::size_t colon = line.find(':');
    if (AsciiText::isBlank(line.front()) || colon == std::string_view::npos || colon == 0 ||
        AsciiText::isBlank(line[colon - 1]))
    {
        refuse(400, "malformed header line\n");
        return false;
    }
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = common::AsciiText::trim(line.substr(colon + 1));
    if (common::AsciiText::equalsNoCase(name, "Transfer-Encoding"))
    {
        refuse(411, "a request body needs a Content-Length\n");
        return false;
    }
    if (!common::AsciiText::equalsNoCase(name, "Content-Length"))
    {
        return true;
    }
    const auto length = AsciiText::parseDecimal(value);
    if (!length || (m_lengthSeen && *length != m_bodySize))
    {
        refuse(400, "malformed Content-Length\n");
        return false;
    }
    if (*length > m_limits.body)
    {
        refuse(413, "request body over " + std::to_string(m_limits.body) + " bytes\n");
        return false;
    }
    m_bodySize = static_cast<std::size_t>(*length);
    m_lengthSeen = true;
    return true;
}

RequestReader::Scan RequestReader::refuse(int status, std::string text)
{
    m_refusalStatus = status;
    m_refusalText = std::move(text);
    return Scan::Refused;
}

bool RequestReader::fill(Clock::time_point deadline, bool& timedOut)
{
    timedOut = false;
    while (true)
    {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd waits[2] = {{m_socket, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        const int ready = poll(waits, m_wakeFd >= 0 ? 2 : 1,
                               static_cast<int>(std::max<std::int64_t>(0, left.count())));
        if (ready < 0 && errno == EINTR)
        {
            continue;
        }
        if (ready == 0)
        {
            timedOut = true;
            return false;
        }
        if (ready < 0 || (m_wakeFd >= 0 && waits[1].revents != 0))
        {
            return false;
        }
        const ssize_t got =
            recv(m_socket, m_buffer.data() + m_size, m_buffer.size() - m_size, MSG_DONTWAIT);
        if (got > 0)
        {
            m_size += static_cast<std::size_t>(got);
            return true;
        }
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
        {
            return false;
        }
    }
}

} // namespace velkordevice
