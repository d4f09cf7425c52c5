#pragma once

#include "velkor/PictureDecoder.h"
#include "velkor/StreamFormats.h"

#include <string>

struct AVCodecContext;

namespace velkor
{

// Decodes MPEG-4 Part 2, H.264 or H.265 access units with libavcodec, in software. Each call
// takes one access unit and must give one picture: the streams have no B-frames, so a unit that
// gives none is as broken as one the decoder refuses or reports damaged.
class VideoDecoder final : public PictureDecoder
{
public:
    static constexpr long long kMaxPixels = 4096LL * 4096LL;

    // `threads` 0 takes defaultThreads().
    explicit VideoDecoder(VideoCodec codec, int threads = 0);

    // Slice threads: one fewer than the machine has cores, at least one and at most four.
    static int defaultThreads();
    ~VideoDecoder() override;
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    bool decode(const AVPacket& packet, PictureSize fit) override;
    Frame& picture() override { return m_picture; }
    PictureSize pictureSize() const override { return m_pictureSize; }
    bool keyframe() const override { return m_keyframe; }
    void reset() override;
    const std::string& error() const override { return m_error; }

private:
    bool fail(std::string reason);
    bool fail(const char* what, int code);
    bool receive();

    AVCodecContext* m_context = nullptr;
    Frame m_picture;
    // Where libavcodec puts a picture: receiving empties the frame it is given, even when no
    // picture comes.
    Frame m_received;
    PictureSize m_pictureSize;
    bool m_keyframe = false;
    std::string m_error;
};

} // namespace velkor
