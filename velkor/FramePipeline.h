#pragma once

#include "Frame.h"
#include "JpegDecoder.h"
#include "MultipartParser.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace velkor
{

class LiveObserver;
class VideoOutput;

// The per-frame work of live play: split the multipart body into parts, decode each JPEG part
// and hand the picture to the output (which may be null: decode only).
class FramePipeline
{
public:
    FramePipeline(const std::string& boundary, VideoOutput* output, LiveObserver& observer);

    bool feed(const std::uint8_t* data, std::size_t size);
    bool failed() const { return m_parser.failed(); }
    const std::string& error() const { return m_parser.error(); }
    std::size_t framesDecoded() const { return m_decoded; }

private:
    void onPart(const MultipartPart& part);

    VideoOutput* m_output;
    LiveObserver& m_observer;
    MultipartParser m_parser;
    JpegDecoder m_decoder;
    Frame m_frame;
    std::size_t m_decoded = 0;
    bool m_decodeErrorReported = false;
};

} // namespace velkor
