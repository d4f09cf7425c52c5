#include "velkor/native/FramePipeline.h"

#include "velkor/decode/PictureSink.h"
#include "velkor/native/LivePart.h"
#include "velkor/stats/LiveCounters.h"

#include <string>

namespace velkor
{

FramePipeline::FramePipeline(PictureSink* sink, LiveObserver& observer)
    : m_counters(sink != nullptr ? sink->counters() : nullptr), m_pictures(sink, observer)
{
}

void FramePipeline::restart(const std::string& boundary, VideoCodec requested)
{
    m_parser.emplace(boundary, [this](const MultipartPart& part) { onPart(part); });
    m_requested = requested;
    m_pictures.restart();
}

bool FramePipeline::feed(const std::uint8_t* data, std::size_t size)
{
    return m_parser && m_parser->feed(data, size);
}

void FramePipeline::onPart(const MultipartPart& part)
{
    const LivePart live = LivePart::read(part);
    if (m_counters != nullptr)
    {
        m_counters->countPart(live.frameNumber);
    }
    if (!live.codec && part.header("Content-Type"))
    {
        m_pictures.refuse("its type " + std::string(*part.header("Content-Type")) +
                          " is not one this library decodes");
        return;
    }
    LivePictures::Encoded encoded;
    encoded.codec = live.codec.value_or(m_requested);
    encoded.keyframe = live.keyframe;
    // The device's frame number is the picture's place in the stream's time.
    encoded.position =
        live.frameNumber ? static_cast<std::int64_t>(*live.frameNumber) : AV_NOPTS_VALUE;
    encoded.timestamp = live.timestamp;
    m_pictures.show(*part.packet, encoded);
}

} // namespace velkor
