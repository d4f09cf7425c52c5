#pragma once

#include "velkor/PlanarImage.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace velkor
{

// A picture of its own, for handing a decoder's image to another thread: the decoder's planes
// are only valid until its next picture. The buffer is kept and reused for pictures that fit.
class PictureCopy
{
public:
    // False, and the copy left empty, for a layout libavutil does not know or when memory runs
    // out.
    bool assign(const PlanarImage& image);
    const PlanarImage& image() const { return m_image; }
    bool empty() const { return m_image.width <= 0; }
    void swap(PictureCopy& other) noexcept;

private:
    struct AvFree
    {
        void operator()(std::uint8_t* block) const;
    };

    std::unique_ptr<std::uint8_t, AvFree> m_buffer;
    std::size_t m_capacity = 0;
    PlanarImage m_image;
};

} // namespace velkor
