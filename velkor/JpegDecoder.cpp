#include "JpegDecoder.h"

#include <turbojpeg.h>

#include <limits>

namespace velkor
{

JpegDecoder::JpegDecoder() : m_handle(tjInitDecompress()) {}

JpegDecoder::~JpegDecoder()
{
    if (m_handle != nullptr)
    {
        tjDestroy(m_handle);
    }
}

bool JpegDecoder::decode(const std::uint8_t* data, std::size_t size, Frame& frame)
{
    if (m_handle == nullptr)
    {
        m_error = "TurboJPEG is unavailable";
        return false;
    }
    if (data == nullptr || size == 0 || size > std::numeric_limits<unsigned long>::max())
    {
        m_error = "empty picture";
        return false;
    }
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colorspace = 0;
    if (tjDecompressHeader3(m_handle, data, static_cast<unsigned long>(size), &width, &height,
                            &subsampling, &colorspace) != 0)
    {
        m_error = tjGetErrorStr2(m_handle);
        return false;
    }
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxPixels)
    {
        m_error =
            "picture of " + std::to_string(width) + "x" + std::to_string(height) + " is too large";
        return false;
    }
    frame.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    if (tjDecompress2(m_handle, data, static_cast<unsigned long>(size), frame.pixels.data(), width,
                      width * 4, height, TJPF_BGRX, TJFLAG_FASTDCT | TJFLAG_STOPONWARNING) != 0)
    {
        m_error = tjGetErrorStr2(m_handle);
        return false;
    }
    frame.width = width;
    frame.height = height;
    return true;
}

} // namespace velkor
