#include "velkor/draw/ImageUpload.h"

#include "velkor/draw/XConnection.h"

#include <xcb/shm.h>

#include <algorithm>
#include <cstring>

namespace velkor
{

void ImageUpload::connect(XConnection& connection)
{
    // Asked for by hand rather than through xcb's extension cache, whose wait has no bound.
    constexpr const char* kShmName = "MIT-SHM";
    const auto extension = connection.replyTo<xcb_query_extension_reply_t>(
        xcb_query_extension(connection.get(), static_cast<std::uint16_t>(std::strlen(kShmName)),
                            kShmName)
            .sequence);
    m_shmUsable = false;
    if (extension && extension->present != 0)
    {
        m_shmUsable = connection.replyTo<xcb_shm_query_version_reply_t>(
                          xcb_shm_query_version(connection.get()).sequence) != nullptr;
    }
}

std::uint8_t* ImageUpload::reserve(XConnection& connection, std::size_t bytes)
{
    m_shared = m_shmUsable && m_shm.reserve(connection, bytes);
    if (m_shared)
    {
        return m_shm.data();
    }
    if (!connection.healthy())
    {
        return nullptr;
    }
    // A server that would not attach a block once will not later either.
    m_shmUsable = false;
    m_staging.resize(bytes);
    return m_staging.data();
}

void ImageUpload::put(XConnection& connection, std::uint32_t window, std::uint32_t gc,
                      std::uint8_t depth, const DrawTarget& target)
{
    if (!m_shared)
    {
        putStrips(connection, window, gc, depth, target);
        return;
    }
    const PictureArea& area = target.visible;
    const auto width = static_cast<std::uint16_t>(area.width);
    const auto height = static_cast<std::uint16_t>(area.height);
    xcb_shm_put_image(connection.get(), window, gc, width, height, 0, 0, width, height,
                      static_cast<std::int16_t>(area.x), static_cast<std::int16_t>(area.y), depth,
                      XCB_IMAGE_FORMAT_Z_PIXMAP, 0, m_shm.id(), 0);
}

void ImageUpload::release(XConnection& connection)
{
    m_shm.release(connection);
    m_shared = false;
}

void ImageUpload::putStrips(XConnection& connection, std::uint32_t window, std::uint32_t gc,
                            std::uint8_t depth, const DrawTarget& target)
{
    const std::size_t maxRequest =
        static_cast<std::size_t>(xcb_get_maximum_request_length(connection.get())) * 4;
    const std::size_t headroom = 64;
    const int rowsPerStrip = std::max(
        1, static_cast<int>((maxRequest > headroom ? maxRequest - headroom : 0) / target.stride));
    const PictureArea& area = target.visible;
    for (int top = 0; top < area.height; top += rowsPerStrip)
    {
        const int rows = std::min(rowsPerStrip, area.height - top);
        xcb_put_image(connection.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc,
                      static_cast<std::uint16_t>(area.width), static_cast<std::uint16_t>(rows),
                      static_cast<std::int16_t>(area.x), static_cast<std::int16_t>(area.y + top), 0,
                      depth,
                      static_cast<std::uint32_t>(target.stride * static_cast<std::size_t>(rows)),
                      target.pixels + target.stride * static_cast<std::size_t>(top));
    }
}

} // namespace velkor
