#pragma once

#include "device/RequestLimits.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velkordevice
{

// Reads the requests of one connection, each whole (head and body) into a buffer of fixed size,
// within the limits: a request that breaks one is refused as soon as that is known, before more
// of it is read. Bytes after a request stay for the next one (pipelining).
class RequestReader
{
public:
    enum class Outcome
    {
        Request, // request() holds it
        Idle,    // no request began within the idle time
        Closed,  // the peer closed or failed, or the wake descriptor fired
        Refused  // refusalStatus() and refusalText() say why
    };

    // wakeFd: readable when the server stops; -1 for none.
    RequestReader(int socket, const RequestLimits& limits, int wakeFd = -1);

    Outcome next();
    // Head and body of the request next() found.
    std::string_view request() const;
    // Drops the request next() found; what followed it stays.
    void consume();

    int refusalStatus() const { return m_refusalStatus; }
    const std::string& refusalText() const { return m_refusalText; }

private:
    enum class Scan
    {
        Incomplete,
        Complete,
        Refused
    };
    using Clock = std::chrono::steady_clock;

    Scan scan();
    // One whole line of the head, without its line end, `next` the offset after it.
    Scan takeLine(std::string_view line, std::size_t next);
    Scan refuse(int status, std::string text);
    bool checkHeader(std::string_view line);
    // Waits until the socket has data or `deadline`; false on timeout, close or wake.
    bool fill(Clock::time_point deadline, bool& timedOut);

    int m_socket;
    RequestLimits m_limits;
    int m_wakeFd;
    std::vector<char> m_buffer;
    std::size_t m_size = 0;
    // Where scan() goes on: the start of the first line not yet complete.
    std::size_t m_lineStart = 0;
    bool m_requestLineDone = false;
    std::size_t m_headerBytes = 0;
    // Set by scan() once the head is complete.
    std::size_t m_headSize = 0;
    std::size_t m_bodySize = 0;
    bool m_lengthSeen = false;
    int m_refusalStatus = 0;
    std::string m_refusalText;
};

} // namespace velkordevice
