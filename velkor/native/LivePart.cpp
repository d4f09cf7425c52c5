#include "velkor/native/LivePart.h"

#include "common/Decimal.h"
#include "velkor/native/MultipartPart.h"

namespace velkor
{
LivePart LivePart::read(const MultipartPart& part)
{
    LivePart live;
    if (const auto type = part.header("Content-Type"))
    {
        live.codec = StreamFormats::fromContentType(*type);
    }
    const auto header = [&part](std::string_view name)
    { return part.header(name).value_or(std::string_view()); };
    if (const auto keyframe = common::Decimal::toUnsigned(header("X-Keyframe"));
        keyframe && *keyframe <= 1)
    {
        live.keyframe = *keyframe == 1;
    }
    live.frameNumber = common::Decimal::toUnsigned(header("X-Frame"));
    live.timestamp = common::Decimal::toSigned(header("X-Timestamp"));
    return live;
}

} // namespace velkor
