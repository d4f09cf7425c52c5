#pragma once

#include <cstddef>
#include <cstdint>

namespace velkor
{

class XConnection;

// A System V shared-memory block attached to an X server through MIT-SHM, so a picture reaches
// the server without passing through the socket.
class ShmSegment
{
public:
    ShmSegment() = default;
    ShmSegment(const ShmSegment&) = delete;
    ShmSegment& operator=(const ShmSegment&) = delete;

    // Keeps the current block when it is large enough; false when the server cannot attach one.
    bool reserve(XConnection& connection, std::size_t bytes);
    // With a connection that is still open, the server lets go of the block first.
    void release(XConnection& connection);

    std::uint8_t* data() const { return m_address; }
    std::uint32_t id() const { return m_segment; }

private:
    std::uint8_t* m_address = nullptr;
    std::size_t m_size = 0;
    std::uint32_t m_segment = 0;
};

} // namespace velkor
