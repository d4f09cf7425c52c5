#pragma once

#include "velkor/draw/DrawTarget.h"
#include "velkor/draw/ShmSegment.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velkor
{

class XConnection;

// The way a drawn picture reaches the X server: through a block of memory shared with it where
// the server has MIT-SHM and lets the block be attached, else through the socket in strips as
// large as a request may be.
class ImageUpload
{
public:
    ImageUpload() = default;
    ImageUpload(const ImageUpload&) = delete;
    ImageUpload& operator=(const ImageUpload&) = delete;

    // On each new connection: whether the server has MIT-SHM.
    void connect(XConnection& connection);
    // Memory for `bytes` of pixels to draw into; null when the connection is gone.
    std::uint8_t* reserve(XConnection& connection, std::size_t bytes);
    // Puts the visible part of the target, drawn into the memory reserved last, into `window`.
    void put(XConnection& connection, std::uint32_t window, std::uint32_t gc, std::uint8_t depth,
             const DrawTarget& target);
    // With a connection that is still open, the server lets go of the shared block first.
    void release(XConnection& connection);

private:
    void putStrips(XConnection& connection, std::uint32_t window, std::uint32_t gc,
                   std::uint8_t depth, const DrawTarget& target);

    bool m_shmUsable = false;
    bool m_shared = false;
    ShmSegment m_shm;
    std::vector<std::uint8_t> m_staging;
};

} // namespace velkor
