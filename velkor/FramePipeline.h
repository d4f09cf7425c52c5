#pragma once

#include "velkor/MultipartParser.h"
#include "velkor/PictureDecoder.h"
#include "velkor/StreamFormats.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace velkor
{

class LiveCounters;
class LiveObserver;
class PictureSink;
struct LivePart;

// The per-frame work of one live play: split each response's multipart body into parts, decode
// each part by its own Content-Type and hand the picture to the sink (which may be null: decode
// only). Pictures are shown from a keyframe on, at the start of each response and again after a
// picture that could not be decoded, so no picture is shown whose references were lost. The
// first undecodable picture of a play is reported, the others are not.
class FramePipeline
{
public:
    // OnImage reports a size as width * 65536 + height in a signed 32-bit value.
    static constexpr int kMaxReportedWidth = 32767;
    static constexpr int kMaxReportedHeight = 65535;

    FramePipeline(PictureSink* sink, LiveObserver& observer);

    // A new response with this boundary, asked for in this format (the one assumed for parts
    // that do not name theirs).
    void restart(const std::string& boundary, VideoCodec requested);
    bool feed(const std::uint8_t* data, std::size_t size);
    bool failed() const { return m_parser && m_parser->failed(); }
    std::string error() const { return m_parser ? m_parser->error() : std::string(); }
    std::size_t framesDecoded() const { return m_decoded; }

private:
    void onPart(const MultipartPart& part);
    bool decodePart(const MultipartPart& part, const LivePart& live);
    bool decodable(const MultipartPart& part, const LivePart& live);
    PictureDecoder& decoderFor(VideoCodec codec);
    void reportUndecodable(const std::string& reason);

    PictureSink* m_sink;
    LiveObserver& m_observer;
    LiveCounters* m_counters;
    std::optional<MultipartParser> m_parser;
    VideoCodec m_requested = VideoCodec::Jpeg;
    std::unique_ptr<PictureDecoder> m_decoder;
    VideoCodec m_decoderCodec = VideoCodec::Jpeg;
    bool m_awaitingKeyframe = true;
    // 0 x 0 until the first picture is shown.
    PictureSize m_reportedSize;
    std::size_t m_decoded = 0;
    bool m_decodeErrorReported = false;
};

} // namespace velkor
