// Feeds arbitrary bytes to the per-part path of live play: multipart parsing, the part headers,
// and the decoder that each part's Content-Type picks (TurboJPEG or libavcodec). The first input
// byte picks the format asked for, which parts without a Content-Type are decoded as.
#include "velkor/native/FramePipeline.h"
#include "velkor/report/LiveObserver.h"
#include "velkor/report/ResultCode.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{

class CheckingObserver : public velkor::LiveObserver
{
public:
    void onPlaying() override {}
    void onPictureSize(int width, int height, std::size_t) override
    {
        if (width <= 0 || height <= 0)
        {
            std::abort();
        }
    }
    void onFrameError(int32_t code, const std::string& description) override
    {
        // Once per play, and always with a reason.
        if (code != velkor::FrameUndecodable || description.empty() || ++m_errors > 1)
        {
            std::abort();
        }
    }
    void onEnded(int32_t, const std::string&) override {}

private:
    int m_errors = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
    {
        return 0;
    }
    constexpr std::array<velkor::VideoCodec, 4> kCodecs{
        velkor::VideoCodec::Jpeg, velkor::VideoCodec::Mpeg4, velkor::VideoCodec::H264,
        velkor::VideoCodec::H265};
    CheckingObserver observer;
    velkor::FramePipeline pipeline(nullptr, observer);
    pipeline.restart("velkorframe", kCodecs[data[0] % kCodecs.size()]);
    pipeline.feed(data + 1, size - 1);
    return 0;
}
