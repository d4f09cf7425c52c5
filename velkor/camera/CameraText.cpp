#include "velkor/camera/CameraText.h"

namespace velkor
{

std::string CameraText::printable(std::string_view text)
{
    const bool cut = text.size() > kMaxBytes;
    const std::string_view kept = cut ? text.substr(0, kMaxBytes) : text;
    std::string result;
    result.reserve(kept.size() + 3);
    for (const char c : kept)
    {
        const auto byte = static_cast<unsigned char>(c);
        result += byte >= 0x20 && byte < 0x7F ? c : '?';
    }
    if (cut)
    {
        result += "...";
    }
    return result;
}

} // namespace velkor
