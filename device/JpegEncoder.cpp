#include "device/JpegEncoder.h"

#include "device/YuvImage.h"

#include <turbojpeg.h>

namespace velkordevice
{

JpegEncoder::JpegEncoder(int quality) : m_handle(tjInitCompress()), m_quality(quality)
{
    if (!m_handle)
    {
        m_error = tjGetErrorStr2(nullptr);
    }
}

JpegEncoder::~JpegEncoder()
{
    if (m_handle)
    {
        tjDestroy(m_handle);
    }
}

bool JpegEncoder::encode(const YuvImage& image, std::vector<unsigned char>& jpeg)
{
    if (!m_handle)
    {
        return false;
    }
    const unsigned long capacity = tjBufSize(image.width(), image.height(), TJSAMP_420);
    if (m_buffer.size() < capacity)
    {
        m_buffer.resize(capacity);
    }
    const unsigned char* planes[3] = {image.y(), image.u(), image.v()};
    const int strides[3] = {image.width(), image.chromaWidth(), image.chromaWidth()};
    unsigned char* out = m_buffer.data();
    unsigned long size = capacity;
    // NOREALLOC: the buffer is sized for the worst case and reused for every frame.
    if (tjCompressFromYUVPlanes(m_handle, planes, image.width(), strides, image.height(),
                                TJSAMP_420, &out, &size, m_quality, TJFLAG_NOREALLOC) != 0)
    {
        m_error = tjGetErrorStr2(m_handle);
        return false;
    }
    jpeg.assign(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(size));
    return true;
}

bool JpegEncoder::encode(const YuvImage& image, std::uint64_t, bool,
                         std::vector<unsigned char>& out, bool& keyframe)
{
    keyframe = true;
    return encode(image, out);
}

} // namespace velkordevice
