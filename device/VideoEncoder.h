#pragma once

#include "device/PictureEncoder.h"
#include "device/StreamFormats.h"
#include "device/StudioRangeConverter.h"

#include <cstdint>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace velkordevice
{

// A libavcodec encoder (mpeg4, libx264 or libx265) set up for live viewing: no B-frames, no
// look-ahead, one access unit out for every picture in, a keyframe at least every second and
// the parameter sets in band before every keyframe.
class VideoEncoder : public PictureEncoder
{
public:
    // Check ready() before use; lastError() says what failed.
    VideoEncoder(StreamFormat format, int width, int height, int fps);
    ~VideoEncoder() override;
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    bool ready() const { return m_ready; }
    bool encode(const YuvImage& image, std::uint64_t pictureNumber, bool forceKeyframe,
                std::vector<unsigned char>& out, bool& keyframe) override;
    std::string lastError() const override { return m_error; }

private:
    bool open(StreamFormat format, int width, int height, int fps);
    bool allocateFrame(int width, int height);
    bool fail(const std::string& what, int code);

    AVCodecContext* m_context = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    StudioRangeConverter m_converter;
    bool m_ready = false;
    std::string m_error;
};

} // namespace velkordevice
