#pragma once

extern "C"
{
#include <libavcodec/packet.h>
}

#include <cstddef>
#include <cstdint>

namespace velkor
{

// Collects the bytes of one encoded picture, in pieces as they arrive, straight into a
// reference-counted AVPacket with the zero padding libavcodec reads past the end, so the picture
// is copied once on its way to the decoder. The buffer is reused for the next picture unless
// someone kept a reference to it.
class PacketBuilder
{
public:
    // Throws std::bad_alloc when libavcodec has no memory for the packet.
    PacketBuilder();
    ~PacketBuilder();
    PacketBuilder(const PacketBuilder&) = delete;
    PacketBuilder& operator=(const PacketBuilder&) = delete;

    // A new picture, of `expected` bytes if known. Throws std::bad_alloc.
    void start(std::size_t expected);
    // Throws std::bad_alloc.
    void append(const std::uint8_t* data, std::size_t size);
    const std::uint8_t* data() const { return m_packet->data; }
    std::size_t size() const { return static_cast<std::size_t>(m_packet->size); }
    // The picture is the first `size` bytes collected; valid until the next start().
    const AVPacket& finish(std::size_t size);
    // Gives the memory back.
    void release();

private:
    void reserve(std::size_t bytes);

    AVPacket* m_packet;
};

} // namespace velkor
