#include "tests/velkor/support/TestVideo.h"

#include "device/FrameRenderer.h"
#include "device/StreamFormats.h"

#include <chrono>

namespace velkortest
{

std::vector<AccessUnit> encodeTestVideo(const std::string& format, int width, int frames,
                                        int keyframeInterval)
{
    using velkordevice::StreamFormats;
    const auto parsed = StreamFormats::parse(format);
    if (!parsed)
    {
        return {};
    }
    // The encoders make a keyframe at least once a second.
    velkordevice::FrameRenderer renderer(1, {*parsed, width}, keyframeInterval);
    std::vector<AccessUnit> units;
    for (int i = 0; i < frames && renderer.ready(); ++i)
    {
        const auto frame =
            renderer.render(static_cast<std::uint64_t>(i), std::chrono::system_clock::now(),
                            i % keyframeInterval == 0);
        if (!frame)
        {
            return {};
        }
        units.push_back({std::string(frame->data.begin(), frame->data.end()), frame->keyframe});
    }
    return units;
}

std::string contentTypeOf(const std::string& format)
{
    const auto parsed = velkordevice::StreamFormats::parse(format);
    return parsed ? velkordevice::StreamFormats::contentType(*parsed) : "image/jpeg";
}

} // namespace velkortest
