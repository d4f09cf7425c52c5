#pragma once

#include "velkor/decode/StreamFormats.h"
#include "velkor/live/LivePictures.h"
#include "velkor/native/MultipartParser.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace velkor
{

class LiveCounters;
class LiveObserver;
class PictureSink;

// The per-frame work of one live play from a device: split each response's multipart body into
// parts and hand each to LivePictures in the format its Content-Type names, with what its headers
// say of it. Each response starts at a keyframe.
class FramePipeline
{
public:
    FramePipeline(PictureSink* sink, LiveObserver& observer);

    // A new response with this boundary, asked for in this format (the one assumed for parts
    // that do not name theirs).
    void restart(const std::string& boundary, VideoCodec requested);
    bool feed(const std::uint8_t* data, std::size_t size);
    bool failed() const { return m_parser && m_parser->failed(); }
    std::string error() const { return m_parser ? m_parser->error() : std::string(); }
    std::size_t framesDecoded() const { return m_pictures.framesDecoded(); }

private:
    void onPart(const MultipartPart& part);

    LiveCounters* m_counters;
    LivePictures m_pictures;
    std::optional<MultipartParser> m_parser;
    VideoCodec m_requested = VideoCodec::Jpeg;
};

} // namespace velkor
