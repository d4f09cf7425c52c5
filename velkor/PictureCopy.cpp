#include "velkor/PictureCopy.h"

extern "C"
{
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
}

#include <array>
#include <utility>

namespace velkor
{
namespace
{

// Rows start on this boundary, where libswscale reads them fastest.
constexpr int kRowAlignment = 32;

} // namespace

void PictureCopy::AvFree::operator()(std::uint8_t* block) const
{
    av_free(block);
}

bool PictureCopy::assign(const PlanarImage& image)
{
    m_image = PlanarImage{};
    const int size =
        av_image_get_buffer_size(image.format, image.width, image.height, kRowAlignment);
    if (size <= 0)
    {
        return false;
    }
    if (static_cast<std::size_t>(size) > m_capacity)
    {
        m_buffer.reset(static_cast<std::uint8_t*>(av_malloc(static_cast<std::size_t>(size))));
        m_capacity = m_buffer ? static_cast<std::size_t>(size) : 0;
        if (!m_buffer)
        {
            return false;
        }
    }
    std::array<std::uint8_t*, 4> planes{};
    std::array<int, 4> strides{};
    if (av_image_fill_arrays(planes.data(), strides.data(), m_buffer.get(), image.format,
                             image.width, image.height, kRowAlignment) < 0)
    {
        return false;
    }
    std::array<const std::uint8_t*, 4> sourcePlanes = image.planes;
    std::array<int, 4> sourceStrides = image.strides;
    av_image_copy(planes.data(), strides.data(), sourcePlanes.data(), sourceStrides.data(),
                  image.format, image.width, image.height);
    m_image = image;
    for (std::size_t i = 0; i < planes.size(); ++i)
    {
        m_image.planes[i] = planes[i];
        m_image.strides[i] = strides[i];
    }
    return true;
}

void PictureCopy::swap(PictureCopy& other) noexcept
{
    std::swap(m_buffer, other.m_buffer);
    std::swap(m_capacity, other.m_capacity);
    std::swap(m_image, other.m_image);
}

} // namespace velkor
