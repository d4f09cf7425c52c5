#include "velkor/native/PacketBuilder.h"

extern "C"
{
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace velkor
{
namespace
{

constexpr std::size_t kPadding = AV_INPUT_BUFFER_PADDING_SIZE;
constexpr std::size_t kMaxSize =
    static_cast<std::size_t>(std::numeric_limits<int>::max()) - kPadding;

} // namespace

PacketBuilder::PacketBuilder() : m_packet(av_packet_alloc())
{
    if (m_packet == nullptr)
    {
        throw std::bad_alloc();
    }
}

PacketBuilder::~PacketBuilder()
{
    av_packet_free(&m_packet);
}

void PacketBuilder::start(std::size_t expected)
{
    // A buffer someone kept, or one too small to be worth copying into a larger one, goes.
    const bool reusable = m_packet->buf != nullptr && av_buffer_is_writable(m_packet->buf) != 0 &&
                          expected + kPadding <= m_packet->buf->size;
    if (!reusable)
    {
        av_packet_unref(m_packet);
    }
    m_packet->data = m_packet->buf != nullptr ? m_packet->buf->data : nullptr;
    m_packet->size = 0;
    reserve(expected);
}

void PacketBuilder::append(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
    {
        return;
    }
    reserve(this->size() + size);
    std::memcpy(m_packet->data + m_packet->size, data, size);
    m_packet->size += static_cast<int>(size);
}

const AVPacket& PacketBuilder::finish(std::size_t size)
{
    reserve(size);
    m_packet->size = static_cast<int>(std::min(size, this->size()));
    std::memset(m_packet->data + m_packet->size, 0, kPadding);
    return *m_packet;
}

void PacketBuilder::release()
{
    av_packet_unref(m_packet);
}

void PacketBuilder::reserve(std::size_t bytes)
{
    if (bytes > kMaxSize)
    {
        throw std::bad_alloc();
    }
    const std::size_t capacity = m_packet->buf != nullptr ? m_packet->buf->size : 0;
    if (bytes + kPadding <= capacity)
    {
        return;
    }
    // Doubling, for parts whose size is found only at their end.
    const std::size_t grown =
        std::min(std::max(bytes + kPadding, capacity * 2), kMaxSize + kPadding);
    if (av_buffer_realloc(&m_packet->buf, grown) < 0)
    {
        throw std::bad_alloc();
    }
    m_packet->data = m_packet->buf->data;
}

} // namespace velkor
