#pragma once

#include "velkor/decode/PictureDecoder.h"
#include "velkor/decode/StreamFormats.h"
#include "velkor/decode/VideoDecoder.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct AVPacket;

namespace velkor
{

class CaptureClock;
class LiveCounters;
class LiveStatistics;
class LiveObserver;
class PictureSink;

// The pictures of one live play, whichever stream brings them: each decoded by the decoder of its
// format and handed to the sink (which may be null: decode only), from a keyframe on at the start
// and after restart(). After a picture that could not be decoded the next ones are shown as the
// decoder conceals them. Reports the first picture's size and each change, and the play's first
// undecodable picture; counts what became of each.
class LivePictures
{
public:
    // OnImage reports a size as width * 65536 + height in a signed 32-bit value.
    static constexpr int kMaxReportedWidth = 32767;
    static constexpr int kMaxReportedHeight = 65535;

    // What a stream tells of one encoded picture besides its bytes.
    struct Encoded
    {
        VideoCodec codec = VideoCodec::Jpeg;
        // Whether it depends on no earlier picture; nothing when the stream does not say.
        std::optional<bool> keyframe;
        // Its place in the stream's time, for the decoded picture's pts; nothing keeps the pts the
        // decoder gave it.
        std::optional<std::int64_t> position;
        // When the device took or finished it, microseconds since the Unix epoch.
        std::optional<std::int64_t> timestamp;
        // In place of `timestamp`: when the picture that comes out of the decoder was taken, by
        // its presentation time, for a stream whose decoder may hand out another picture than
        // the one that went in.
        const CaptureClock* clock = nullptr;
    };

    LivePictures(PictureSink* sink, LiveObserver& observer);
    ~LivePictures();
    LivePictures(const LivePictures&) = delete;
    LivePictures& operator=(const LivePictures&) = delete;

    // A new stream, which starts at a keyframe. A device's own streams carry their parameter sets
    // in every keyframe and have no B-frames; a camera's may keep them in its description (which
    // must outlive the stream) and reorder its pictures.
    void restart(EncodedStream stream = {});
    void show(const AVPacket& packet, const Encoded& encoded);
    // A picture that never reaches a decoder, for `reason`.
    void refuse(const std::string& reason);
    std::size_t framesDecoded() const { return m_decoded; }

private:
    bool decode(const AVPacket& packet, const Encoded& encoded);
    PictureDecoder& decoderFor(VideoCodec codec);
    void reportUndecodable(const std::string& reason);
    // While no picture of the play could be decoded.
    void showPlaceholder();
    void countKind(bool keyframe);
    // Counts a picture left out while waiting for a keyframe; false, as decode() returns then.
    bool skip();
    // Reports the picture's size when it changed, and describes the stream when it did.
    void describe(const PictureDecoder& decoder, VideoCodec codec, std::size_t bytes);

    PictureSink* m_sink;
    LiveObserver& m_observer;
    LiveCounters* m_counters;
    LiveStatistics* m_statistics;
    EncodedStream m_stream;
    std::unique_ptr<PictureDecoder> m_decoder;
    VideoCodec m_decoderCodec = VideoCodec::Jpeg;
    bool m_awaitingKeyframe = true;
    // 0 x 0 until the first picture is shown.
    PictureSize m_reportedSize;
    // As last described to the statistics.
    PictureSize m_describedSize;
    VideoCodec m_describedCodec = VideoCodec::Jpeg;
    std::size_t m_decoded = 0;
    std::chrono::steady_clock::time_point m_nextPlaceholder{};
    bool m_decodeErrorReported = false;
};

} // namespace velkor
