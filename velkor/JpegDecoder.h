#pragma once

#include "Frame.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace velkor
{

// Decodes JPEG pictures into BGRX frames with TurboJPEG, reusing the frame's buffer. Pictures
// larger than maxPixels are refused before anything is allocated for them.
class JpegDecoder
{
public:
    static constexpr long long kMaxPixels = 4096LL * 4096LL;

    JpegDecoder();
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    bool decode(const std::uint8_t* data, std::size_t size, Frame& frame);
    const std::string& error() const { return m_error; }

private:
    void* m_handle = nullptr;
    std::string m_error;
};

} // namespace velkor
