#include "tests/velkor/support/TestJpeg.h"

#include <turbojpeg.h>

#include <cstdint>
#include <vector>

namespace velkortest
{
namespace
{

std::string compress(const std::vector<std::uint8_t>& rgb, int width, int height)
{
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_420, 85, 0);
    std::string result(reinterpret_cast<const char*>(jpeg), size);
    tjFree(jpeg);
    tjDestroy(handle);
    return result;
}

} // namespace

std::string makeJpeg(int width, int height, int phase)
{
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) *
                                  static_cast<std::size_t>(height) * 3);
    for (int y = 0; y < height; ++y)
    {
        for (int x = 0; x < width; ++x)
        {
            std::uint8_t* pixel =
                &rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)) *
                     3];
            pixel[0] = static_cast<std::uint8_t>(64 + (x + phase * 16) % 160);
            pixel[1] = static_cast<std::uint8_t>(64 + (y + phase * 8) % 160);
            pixel[2] = static_cast<std::uint8_t>(((x / 32 + y / 32 + phase) % 2) != 0 ? 220 : 90);
        }
    }
    return compress(rgb, width, height);
}

std::string makeRampJpeg(int width, int height)
{
    std::vector<std::uint8_t> rgb;
    rgb.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    for (int y = 0; y < height; ++y)
    {
        for (int x = 0; x < width; ++x)
        {
            rgb.push_back(static_cast<std::uint8_t>(64 + x * 191 / (width - 1)));
            rgb.push_back(static_cast<std::uint8_t>(64 + y * 191 / (height - 1)));
            rgb.push_back(128);
        }
    }
    return compress(rgb, width, height);
}

std::string makeSolidJpeg(int width, int height, std::uint32_t colour)
{
    std::vector<std::uint8_t> rgb;
    rgb.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    for (int i = 0; i < width * height; ++i)
    {
        rgb.push_back(static_cast<std::uint8_t>(colour >> 16));
        rgb.push_back(static_cast<std::uint8_t>(colour >> 8));
        rgb.push_back(static_cast<std::uint8_t>(colour));
    }
    return compress(rgb, width, height);
}

} // namespace velkortest
