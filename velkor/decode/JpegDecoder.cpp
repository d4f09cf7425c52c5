#include "velkor/decode/JpegDecoder.h"

#include <turbojpeg.h>

#include <algorithm>
#include <array>

namespace velkor
{
namespace
{

// TurboJPEG has fast paths for these reductions only; the others cost more than they save.
constexpr std::array<tjscalingfactor, 3> kReductions{{{1, 8}, {1, 4}, {1, 2}}};

AVPixelFormat formatOf(int subsampling)
{
    switch (subsampling)
    {
    case TJSAMP_444:
        return AV_PIX_FMT_YUV444P;
    case TJSAMP_422:
        return AV_PIX_FMT_YUV422P;
    case TJSAMP_420:
        return AV_PIX_FMT_YUV420P;
    case TJSAMP_GRAY:
        return AV_PIX_FMT_GRAY8;
    case TJSAMP_440:
        return AV_PIX_FMT_YUV440P;
    case TJSAMP_411:
        return AV_PIX_FMT_YUV411P;
    default:
        return AV_PIX_FMT_NONE;
    }
}

tjscalingfactor reductionFor(int width, int height, PictureSize fit)
{
    if (fit.width > 0 && fit.height > 0)
    {
        for (const tjscalingfactor& factor : kReductions)
        {
            if (TJSCALED(width, factor) >= fit.width && TJSCALED(height, factor) >= fit.height)
            {
                return factor;
            }
        }
    }
    return {1, 1};
}

// A JPEG that starts as one but lacks its end marker was cut short on the way.
bool looksCutShort(const std::uint8_t* data, std::size_t size)
{
    const bool starts = size >= 2 && data[0] == 0xFF && data[1] == 0xD8;
    const bool ends = size >= 4 && data[size - 2] == 0xFF && data[size - 1] == 0xD9;
    return starts && !ends;
}

} // namespace

JpegDecoder::JpegDecoder() : m_handle(tjInitDecompress()) {}

JpegDecoder::~JpegDecoder()
{
    if (m_handle != nullptr)
    {
        tjDestroy(m_handle);
    }
}

bool JpegDecoder::decode(const AVPacket& packet, PictureSize fit)
{
    const std::uint8_t* data = packet.data;
    const auto size = static_cast<std::size_t>(std::max(packet.size, 0));
    if (m_handle == nullptr)
    {
        m_error = "TurboJPEG is unavailable";
        return false;
    }
    if (data == nullptr || size == 0)
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
        return fail(data, size, tjGetErrorStr2(m_handle));
    }
    // TurboJPEG reports a header cut short before its frame marker as a picture of no size.
    if (width <= 0 || height <= 0)
    {
        return fail(data, size, "it ends before its size is given");
    }
    if (static_cast<long long>(width) * height > kMaxPixels)
    {
        m_error =
            "picture of " + std::to_string(width) + "x" + std::to_string(height) + " is too large";
        return false;
    }
    if (formatOf(subsampling) == AV_PIX_FMT_NONE || colorspace == TJCS_CMYK ||
        colorspace == TJCS_YCCK)
    {
        m_error = "the picture's colour layout is not supported";
        return false;
    }
    m_pictureSize = {width, height};
    return decompress(data, size, subsampling, reductionFor(width, height, fit));
}

bool JpegDecoder::decompress(const std::uint8_t* data, std::size_t size, int subsampling,
                             tjscalingfactor factor)
{
    const int width = TJSCALED(m_pictureSize.width, factor);
    const int height = TJSCALED(m_pictureSize.height, factor);
    if (!m_picture.allocate(formatOf(subsampling), width, height))
    {
        m_error = "out of memory for a picture of " + std::to_string(width) + "x" +
                  std::to_string(height);
        return false;
    }
    AVFrame* frame = m_picture.get();
    std::array<unsigned char*, 3> planes{frame->data[0], frame->data[1], frame->data[2]};
    std::array<int, 3> strides{frame->linesize[0], frame->linesize[1], frame->linesize[2]};
    // Works around TurboJPEG 2.1: decoding planes at half size, it runs the chroma through the
    // reduced accurate IDCT with the fast IDCT's coefficient table, which exaggerates every
    // colour. The fast IDCT only where nothing is reduced.
    const int fast = factor.num == factor.denom ? TJFLAG_FASTDCT : 0;
    if (tjDecompressToYUVPlanes(m_handle, data, static_cast<unsigned long>(size), planes.data(),
                                width, strides.data(), height, fast | TJFLAG_STOPONWARNING) != 0)
    {
        m_picture.reset();
        return fail(data, size, tjGetErrorStr2(m_handle));
    }
    frame->color_range = AVCOL_RANGE_JPEG;
    frame->colorspace = AVCOL_SPC_BT470BG;
    return true;
}

bool JpegDecoder::fail(const std::uint8_t* data, std::size_t size, const std::string& reason)
{
    m_error = looksCutShort(data, size) ? "the picture is truncated after " + std::to_string(size) +
                                              " bytes (" + reason + ")"
                                        : reason;
    // A header that broke off can leave the handle unable to read the next, whole picture.
    tjDestroy(m_handle);
    m_handle = tjInitDecompress();
    return false;
}

} // namespace velkor
