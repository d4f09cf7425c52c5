#include "device/StudioRangeConverter.h"

#include "device/YuvImage.h"

extern "C"
{
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace velkordevice
{

StudioRangeConverter::StudioRangeConverter(int width, int height)
    : m_width(width), m_height(height), m_context(sws_alloc_context())
{
    if (!m_context)
    {
        return;
    }
    // Ranges set before initialisation: afterwards libswscale keeps the plain copy it chose for
    // same-format, same-size pictures.
    const bool set = av_opt_set_int(m_context, "srcw", width, 0) >= 0 &&
                     av_opt_set_int(m_context, "srch", height, 0) >= 0 &&
                     av_opt_set_int(m_context, "src_format", AV_PIX_FMT_YUV420P, 0) >= 0 &&
                     av_opt_set_int(m_context, "src_range", 1, 0) >= 0 &&
                     av_opt_set_int(m_context, "dstw", width, 0) >= 0 &&
                     av_opt_set_int(m_context, "dsth", height, 0) >= 0 &&
                     av_opt_set_int(m_context, "dst_format", AV_PIX_FMT_YUV420P, 0) >= 0 &&
                     av_opt_set_int(m_context, "dst_range", 0, 0) >= 0 &&
                     av_opt_set_int(m_context, "sws_flags", SWS_POINT, 0) >= 0;
    if (!set || sws_init_context(m_context, nullptr, nullptr) < 0)
    {
        sws_freeContext(m_context);
        m_context = nullptr;
    }
}

StudioRangeConverter::~StudioRangeConverter()
{
    sws_freeContext(m_context);
}

bool StudioRangeConverter::convert(const YuvImage& image, AVFrame& frame)
{
    if (!m_context || image.width() != m_width || image.height() != m_height ||
        frame.width != m_width || frame.height != m_height)
    {
        return false;
    }
    const std::uint8_t* const planes[3] = {image.y(), image.u(), image.v()};
    const int strides[3] = {image.width(), image.chromaWidth(), image.chromaWidth()};
    return sws_scale(m_context, planes, strides, 0, m_height, frame.data, frame.linesize) ==
           m_height;
}

} // namespace velkordevice
