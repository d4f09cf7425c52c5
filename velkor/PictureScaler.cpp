#include "velkor/PictureScaler.h"

extern "C"
{
#include <libswscale/swscale.h>
}

#include <limits>

namespace velkor
{

PictureScaler::~PictureScaler()
{
    sws_freeContext(m_context);
}

bool PictureScaler::draw(const PlanarImage& image, std::uint8_t* target, int width, int height,
                         std::size_t stride)
{
    if (image.width <= 0 || image.height <= 0 || width <= 0 || height <= 0)
    {
        return false;
    }
    const bool sameSize = width == image.width && height == image.height;
    // libswscale's own scaling costs more than converting at full size and then scaling the
    // converted pixels, unless the target has a quarter of the pixels or fewer.
    const bool muchSmaller = width * 2 <= image.width && height * 2 <= image.height;
    if (sameSize || muchSmaller)
    {
        return convert(image, target, width, height, stride);
    }
    m_staging.width = image.width;
    m_staging.height = image.height;
    m_staging.pixels.resize(static_cast<std::size_t>(image.width) *
                            static_cast<std::size_t>(image.height) * 4);
    if (!convert(image, m_staging.pixels.data(), image.width, image.height,
                 static_cast<std::size_t>(image.width) * 4))
    {
        return false;
    }
    m_enlarger.scale(m_staging, target, width, height, stride);
    return true;
}

bool PictureScaler::convert(const PlanarImage& image, std::uint8_t* target, int width, int height,
                            std::size_t stride)
{
    if (stride > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    {
        return false;
    }
    const Setup wanted{image.format, image.width,     image.height,    width,
                       height,       image.fullRange, image.colorspace};
    if (m_context == nullptr || !(wanted == m_setup))
    {
        sws_freeContext(m_context);
        m_context = nullptr;
        m_setup = Setup{};
        if (sws_isSupportedInput(image.format) == 0)
        {
            return false;
        }
        m_context = sws_getContext(image.width, image.height, image.format, width, height,
                                   AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
        if (m_context == nullptr)
        {
            return false;
        }
        const int colorspace =
            image.colorspace == AVCOL_SPC_UNSPECIFIED ? SWS_CS_DEFAULT : image.colorspace;
        sws_setColorspaceDetails(m_context, sws_getCoefficients(colorspace),
                                 image.fullRange ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                                 1 << 16, 1 << 16);
        m_setup = wanted;
    }
    std::uint8_t* const planes[4] = {target, nullptr, nullptr, nullptr};
    const int strides[4] = {static_cast<int>(stride), 0, 0, 0};
    return sws_scale(m_context, image.planes.data(), image.strides.data(), 0, image.height, planes,
                     strides) == height;
}

} // namespace velkor
