#include "velkor/PictureScaler.h"

extern "C"
{
#include <libswscale/swscale.h>
}

#include <limits>

namespace velkor
{
namespace
{

// libavcodec names full-range formats apart; libswscale wants the plain one and a flag.
AVPixelFormat plainFormat(AVPixelFormat format, bool& fullRange)
{
    switch (format)
    {
    case AV_PIX_FMT_YUVJ420P:
        fullRange = true;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        fullRange = true;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        fullRange = true;
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        fullRange = true;
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        fullRange = true;
        return AV_PIX_FMT_YUV411P;
    default:
        return format;
    }
}

} // namespace

PictureScaler::~PictureScaler()
{
    sws_freeContext(m_context);
}

bool PictureScaler::draw(const Frame& picture, const DrawTarget& target)
{
    const PictureSize size = picture.size();
    if (picture.empty() || size.width <= 0 || size.height <= 0 || target.window.width <= 0 ||
        target.window.height <= 0 || target.visible.width <= 0 || target.visible.height <= 0)
    {
        return false;
    }
    const bool sameSize = target.window == size;
    // libswscale's own scaling costs more than converting at full size and then scaling the
    // converted pixels, unless the target has a quarter of the pixels or fewer.
    const bool muchSmaller =
        target.window.width * 2 <= size.width && target.window.height * 2 <= size.height;
    if (target.whole() && (sameSize || muchSmaller))
    {
        return convert(picture, target.pixels, target.stride, target.window);
    }
    if (!m_converted.allocate(AV_PIX_FMT_BGRA, size.width, size.height) ||
        !convert(picture, m_converted->data[0], static_cast<std::size_t>(m_converted->linesize[0]),
                 size))
    {
        return false;
    }
    m_enlarger.scale(m_converted, target);
    return true;
}

bool PictureScaler::convert(const Frame& picture, std::uint8_t* target, std::size_t stride,
                            PictureSize size)
{
    if (stride > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    {
        return false;
    }
    bool fullRange = picture->color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat format =
        plainFormat(static_cast<AVPixelFormat>(picture->format), fullRange);
    if (!prepare({format, picture->width, picture->height, size.width, size.height, fullRange,
                  picture->colorspace}))
    {
        return false;
    }
    std::uint8_t* const planes[4] = {target, nullptr, nullptr, nullptr};
    const int strides[4] = {static_cast<int>(stride), 0, 0, 0};
    return sws_scale(m_context, picture->data, picture->linesize, 0, picture->height, planes,
                     strides) == size.height;
}

bool PictureScaler::prepare(const Setup& wanted)
{
    if (m_context != nullptr && wanted == m_setup)
    {
        return true;
    }
    sws_freeContext(m_context);
    m_context = nullptr;
    m_setup = Setup{};
    if (sws_isSupportedInput(wanted.format) == 0)
    {
        return false;
    }
    m_context =
        sws_getContext(wanted.sourceWidth, wanted.sourceHeight, wanted.format, wanted.targetWidth,
                       wanted.targetHeight, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
    if (m_context == nullptr)
    {
        return false;
    }
    const int colorspace =
        wanted.colorspace == AVCOL_SPC_UNSPECIFIED ? SWS_CS_DEFAULT : wanted.colorspace;
    sws_setColorspaceDetails(m_context, sws_getCoefficients(colorspace), wanted.fullRange ? 1 : 0,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    m_setup = wanted;
    return true;
}

} // namespace velkor
