#pragma once

#include "velkor/decode/PictureDecoder.h"
#include "velkor/decode/StreamFormats.h"

#include <string>

struct AVCodec;
struct AVCodecContext;
struct AVCodecParameters;

namespace velkor
{

// How a stream's video decodes.
struct EncodedStream
{
    // What the stream's description says of it (the parameter sets in its extradata), for a
    // stream whose keyframes need not carry them; null when they do.
    const AVCodecParameters* parameters = nullptr;
    // Pictures may come out after later ones went in (B-frames); each then waits for the
    // decoder's reordering instead of coming out at once.
    bool reordered = false;
};

// Decodes MPEG-4 Part 2, H.264 or H.265 access units with libavcodec, in software. Each call
// takes one access unit. A device's streams have no B-frames, so each unit must give its picture
// at once: one that gives none is as broken as one the decoder refuses. A camera's stream may
// reorder its pictures; then a unit may give none, or an earlier one. A picture the decoder
// reports damaged is given out as it concealed it, and concealed() says so.
class VideoDecoder final : public PictureDecoder
{
public:
    static constexpr long long kMaxPixels = 4096LL * 4096LL;

    // `threads` 0 takes defaultThreads().
    explicit VideoDecoder(VideoCodec codec, int threads = 0, EncodedStream stream = {});

    // Slice threads: one fewer than the machine has cores, at least one and at most four.
    static int defaultThreads();
    ~VideoDecoder() override;
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    // With a reordered stream, true and no picture() for a unit whose picture is still held back.
    bool decode(const AVPacket& packet, PictureSize fit) override;
    Frame& picture() override { return m_picture; }
    PictureSize pictureSize() const override { return m_pictureSize; }
    bool keyframe() const override { return m_keyframe; }
    void reset() override;
    const std::string& error() const override { return m_error; }
    std::string profile() const override;
    bool concealed() const override { return m_concealed; }
    int replacedPictures() const override { return m_replaced; }

private:
    // libavcodec's result; on failure m_context is null.
    int open(const AVCodec& decoder, int threads, const AVCodecParameters* parameters);
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
    bool m_concealed = false;
    bool m_reordered = false;
    int m_replaced = 0;
    std::string m_error;
};

} // namespace velkor
