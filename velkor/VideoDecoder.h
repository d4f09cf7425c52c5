#pragma once

#include "velkor/PictureDecoder.h"
#include "velkor/StreamFormats.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

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

    bool decode(const std::uint8_t* data, std::size_t size, PictureSize fit) override;
    const PlanarImage& image() const override { return m_image; }
    PictureSize pictureSize() const override { return {m_image.width, m_image.height}; }
    bool keyframe() const override { return m_keyframe; }
    void reset() override;
    const std::string& error() const override { return m_error; }

private:
    bool fail(std::string reason);
    bool fail(const char* what, int code);
    void takePicture();

    AVCodecContext* m_context = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    AVFrame* m_received = nullptr;
    std::vector<std::uint8_t> m_padded;
    PlanarImage m_image;
    bool m_keyframe = false;
    std::string m_error;
};

} // namespace velkor
