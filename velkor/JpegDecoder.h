#pragma once

#include "velkor/PictureDecoder.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velkor
{

// Decodes JPEG pictures into planes with TurboJPEG, reusing its buffers. A picture at least twice
// as large as the size it must fit is decoded at a half, quarter or eighth of its size, which
// costs far less than decoding it whole. Pictures larger than kMaxPixels are refused before
// anything is allocated for them.
class JpegDecoder final : public PictureDecoder
{
public:
    static constexpr long long kMaxPixels = 4096LL * 4096LL;

    JpegDecoder();
    ~JpegDecoder() override;
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    bool decode(const std::uint8_t* data, std::size_t size, PictureSize fit) override;
    const PlanarImage& image() const override { return m_image; }
    PictureSize pictureSize() const override { return m_pictureSize; }
    bool keyframe() const override { return true; }
    void reset() override {}
    const std::string& error() const override { return m_error; }

private:
    bool fail(const std::uint8_t* data, std::size_t size, const std::string& reason);

    void* m_handle = nullptr;
    std::vector<std::uint8_t> m_buffer;
    PlanarImage m_image;
    PictureSize m_pictureSize;
    std::string m_error;
};

} // namespace velkor
