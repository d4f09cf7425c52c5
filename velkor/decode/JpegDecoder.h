#pragma once

#include "velkor/decode/PictureDecoder.h"

#include <turbojpeg.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace velkor
{

// Decodes JPEG pictures with TurboJPEG into the planes of a Frame. A picture at least twice as
// large as the size it must fit is decoded at a half, quarter or eighth of its size, which costs
// far less than decoding it whole. Pictures larger than kMaxPixels are refused before anything is
// allocated for them.
class JpegDecoder final : public PictureDecoder
{
public:
    static constexpr long long kMaxPixels = 4096LL * 4096LL;

    JpegDecoder();
    ~JpegDecoder() override;
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    bool decode(const AVPacket& packet, PictureSize fit) override;
    Frame& picture() override { return m_picture; }
    PictureSize pictureSize() const override { return m_pictureSize; }
    bool keyframe() const override { return true; }
    void reset() override {}
    const std::string& error() const override { return m_error; }

private:
    bool fail(const std::uint8_t* data, std::size_t size, const std::string& reason);
    bool decompress(const std::uint8_t* data, std::size_t size, int subsampling,
                    tjscalingfactor factor);

    void* m_handle = nullptr;
    Frame m_picture;
    PictureSize m_pictureSize;
    std::string m_error;
};

} // namespace velkor
