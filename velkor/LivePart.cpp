#include "velkor/LivePart.h"

#include "velkor/MultipartPart.h"

#include <charconv>
#include <string_view>

namespace velkor
{
namespace
{

template <typename T> std::optional<T> decimal(std::optional<std::string_view> text)
{
    if (!text || text->empty())
    {
        return std::nullopt;
    }
    T value{};
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, value);
    if (error != std::errc() || stop != end)
    {
        return std::nullopt;
    }
    return value;
}

} // namespace

LivePart LivePart::read(const MultipartPart& part)
{
    LivePart live;
    if (const auto type = part.header("Content-Type"))
    {
        live.codec = StreamFormats::fromContentType(*type);
    }
    if (const auto keyframe = decimal<int>(part.header("X-Keyframe")))
    {
        if (*keyframe == 0 || *keyframe == 1)
        {
            live.keyframe = *keyframe == 1;
        }
    }
    live.frameNumber = decimal<std::uint64_t>(part.header("X-Frame"));
    live.timestamp = decimal<std::int64_t>(part.header("X-Timestamp"));
    return live;
}

} // namespace velkor
