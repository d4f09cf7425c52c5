#include "tests/device/JpegProbe.h"

#include <turbojpeg.h>

#include <memory>

namespace
{
using Handle = std::unique_ptr<void, decltype(&tjDestroy)>;
}

std::optional<JpegInfo> JpegProbe::decode(const std::vector<unsigned char>& jpeg)
{
    Handle handle(tjInitDecompress(), &tjDestroy);
    JpegInfo info;
    int colorspace = 0;
    if (!handle || jpeg.empty() ||
        tjDecompressHeader3(handle.get(), jpeg.data(), jpeg.size(), &info.width, &info.height,
                            &info.subsampling, &colorspace) != 0)
    {
        return std::nullopt;
    }
    std::vector<unsigned char> rgb(static_cast<std::size_t>(info.width) * info.height * 3);
    if (tjDecompress2(handle.get(), jpeg.data(), jpeg.size(), rgb.data(), info.width, 0,
                      info.height, TJPF_RGB, 0) != 0)
    {
        return std::nullopt;
    }
    return info;
}

std::vector<unsigned char> JpegProbe::decodeGray(const std::vector<unsigned char>& jpeg)
{
    Handle handle(tjInitDecompress(), &tjDestroy);
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (!handle || tjDecompressHeader3(handle.get(), jpeg.data(), jpeg.size(), &width, &height,
                                       &subsampling, &colorspace) != 0)
    {
        return {};
    }
    std::vector<unsigned char> gray(static_cast<std::size_t>(width) * height);
    if (tjDecompress2(handle.get(), jpeg.data(), jpeg.size(), gray.data(), width, 0, height,
                      TJPF_GRAY, 0) != 0)
    {
        return {};
    }
    return gray;
}
