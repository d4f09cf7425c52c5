#include "velkor/draw/PictureRows.h"

extern "C"
{
#include <libswscale/swscale.h>
}

#include <libyuv/convert_argb.h>
#include <libyuv/planar_functions.h>

#include <algorithm>

namespace velkor
{
namespace
{

struct Layout
{
    int (*converter)(const std::uint8_t*, int, const std::uint8_t*, int, const std::uint8_t*, int,
                     std::uint8_t*, int, const YuvConstants*, int, int) = nullptr;
    int chromaStep = 1;
    bool fullRange = false;
    bool halfWidthChroma = false;
};

// libyuv's converter for a planar YUV layout; none for any other.
Layout layoutOf(AVPixelFormat format)
{
    switch (format)
    {
    case AV_PIX_FMT_YUV420P:
        return {libyuv::I420ToARGBMatrix, 2, false, true};
    case AV_PIX_FMT_YUVJ420P:
        return {libyuv::I420ToARGBMatrix, 2, true, true};
    case AV_PIX_FMT_YUV422P:
        return {libyuv::I422ToARGBMatrix, 1, false, true};
    case AV_PIX_FMT_YUVJ422P:
        return {libyuv::I422ToARGBMatrix, 1, true, true};
    case AV_PIX_FMT_YUV444P:
        return {libyuv::I444ToARGBMatrix, 1, false};
    case AV_PIX_FMT_YUVJ444P:
        return {libyuv::I444ToARGBMatrix, 1, true};
    default:
        return {};
    }
}

// libyuv's coefficients for a colour space and range; none for a colour space it has none for.
const YuvConstants* constantsOf(AVColorSpace colorspace, bool fullRange)
{
    switch (colorspace)
    {
    case AVCOL_SPC_UNSPECIFIED:
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
        return fullRange ? &libyuv::kYuvJPEGConstants : &libyuv::kYuvI601Constants;
    case AVCOL_SPC_BT709:
        return fullRange ? &libyuv::kYuvF709Constants : &libyuv::kYuvH709Constants;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return fullRange ? &libyuv::kYuvV2020Constants : &libyuv::kYuv2020Constants;
    default:
        return nullptr;
    }
}

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

PictureRows::~PictureRows()
{
    sws_freeContext(m_context);
}

bool PictureRows::start(const Frame& picture, int batch, bool halve)
{
    m_picture = picture.get();
    m_count = 0;
    m_whole = false;
    m_halved = false;
    m_rowWidth = m_picture->width;
    const auto format = static_cast<AVPixelFormat>(m_picture->format);
    if (format == AV_PIX_FMT_BGR0 || format == AV_PIX_FMT_BGRA)
    {
        m_converter = nullptr;
        return true;
    }
    const Layout layout = layoutOf(format);
    const bool fullRange = layout.fullRange || m_picture->color_range == AVCOL_RANGE_JPEG;
    m_constants = constantsOf(m_picture->colorspace, fullRange);
    m_converter = m_constants != nullptr ? layout.converter : nullptr;
    if (m_converter == nullptr)
    {
        return convertWhole();
    }
    m_chromaStep = layout.chromaStep;
    // A batch of 4:2:0 rows starts on an even row, where a chroma row starts.
    m_batch = std::max(1, batch / m_chromaStep * m_chromaStep);
    // A picture at least twice the target's width shows at most every second pixel anyway:
    // converting only the luma samples that chroma sits at halves the conversion.
    m_halved = halve && layout.halfWidthChroma && m_picture->width >= 2;
    m_rowWidth = m_halved ? m_picture->width / 2 : m_picture->width;
    if (m_halved)
    {
        m_luma.resize(static_cast<std::size_t>(m_rowWidth));
        m_otherLuma.resize(static_cast<std::size_t>(m_rowWidth));
    }
    m_rows.resize(static_cast<std::size_t>(m_batch) * static_cast<std::size_t>(m_rowWidth) * 4);
    return true;
}

const std::uint8_t* PictureRows::row(int y)
{
    if (y < 0 || y >= m_picture->height)
    {
        return nullptr;
    }
    if (m_whole)
    {
        return m_converted->data[0] + static_cast<std::ptrdiff_t>(y) * m_converted->linesize[0];
    }
    if (m_converter == nullptr)
    {
        return m_picture->data[0] + static_cast<std::ptrdiff_t>(y) * m_picture->linesize[0];
    }
    if ((y < m_first || y >= m_first + m_count) && !convertBatch(y))
    {
        return nullptr;
    }
    return m_rows.data() +
           static_cast<std::size_t>(y - m_first) * static_cast<std::size_t>(m_rowWidth) * 4;
}

bool PictureRows::convertBatch(int y)
{
    // One row alone converts right whatever its parity; a batch starts where a chroma row does.
    const int first = m_batch == 1 ? y : y / m_chromaStep * m_chromaStep;
    const int count = std::min(m_batch, m_picture->height - first);
    if (m_halved)
    {
        return convertHalved(first, count);
    }
    const int chromaRow = first / m_chromaStep;
    const AVFrame& picture = *m_picture;
    const int converted = m_converter(
        picture.data[0] + static_cast<std::ptrdiff_t>(first) * picture.linesize[0],
        picture.linesize[0],
        picture.data[1] + static_cast<std::ptrdiff_t>(chromaRow) * picture.linesize[1],
        picture.linesize[1],
        picture.data[2] + static_cast<std::ptrdiff_t>(chromaRow) * picture.linesize[2],
        picture.linesize[2], m_rows.data(), picture.width * 4, m_constants, picture.width, count);
    m_first = first;
    m_count = converted == 0 ? count : 0;
    return converted == 0;
}

bool PictureRows::convertHalved(int first, int count)
{
    const AVFrame& picture = *m_picture;
    const int rowBytes = m_rowWidth * 4;
    for (int i = 0; i < count; ++i)
    {
        const int y = first + i;
        const int chromaRow = y / m_chromaStep;
        // Luma pairs split as if they were interleaved chroma: the even samples are the ones
        // chroma is sited at.
        libyuv::SplitUVPlane(picture.data[0] + static_cast<std::ptrdiff_t>(y) * picture.linesize[0],
                             picture.linesize[0], m_luma.data(), m_rowWidth, m_otherLuma.data(),
                             m_rowWidth, m_rowWidth, 1);
        const int converted = libyuv::I444ToARGBMatrix(
            m_luma.data(), m_rowWidth,
            picture.data[1] + static_cast<std::ptrdiff_t>(chromaRow) * picture.linesize[1],
            picture.linesize[1],
            picture.data[2] + static_cast<std::ptrdiff_t>(chromaRow) * picture.linesize[2],
            picture.linesize[2], m_rows.data() + static_cast<std::ptrdiff_t>(i) * rowBytes,
            rowBytes, m_constants, m_rowWidth, 1);
        if (converted != 0)
        {
            m_count = 0;
            return false;
        }
    }
    m_first = first;
    m_count = count;
    return true;
}

bool PictureRows::convertWhole()
{
    const AVFrame& picture = *m_picture;
    bool fullRange = picture.color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat format = plainFormat(static_cast<AVPixelFormat>(picture.format), fullRange);
    if (sws_isSupportedInput(format) == 0 ||
        !m_converted.allocate(AV_PIX_FMT_BGRA, picture.width, picture.height))
    {
        return false;
    }
    m_context =
        sws_getCachedContext(m_context, picture.width, picture.height, format, picture.width,
                             picture.height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
    if (m_context == nullptr)
    {
        return false;
    }
    const int colorspace =
        picture.colorspace == AVCOL_SPC_UNSPECIFIED ? SWS_CS_DEFAULT : picture.colorspace;
    sws_setColorspaceDetails(m_context, sws_getCoefficients(colorspace), fullRange ? 1 : 0,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    m_whole = sws_scale(m_context, picture.data, picture.linesize, 0, picture.height,
                        m_converted->data, m_converted->linesize) == picture.height;
    return m_whole;
}

} // namespace velkor
