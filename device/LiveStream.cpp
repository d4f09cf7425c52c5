#include "device/LiveStream.h"

#include "device/ChannelSource.h"

namespace velkordevice
{

LiveStream::LiveStream(std::shared_ptr<ChannelSource> source, StreamKey key, Framing framing)
    : m_source(std::move(source)), m_key(key), m_framing(framing),
      m_frames(m_source->addReader(m_key)), m_cursor(m_frames->join())
{
}

LiveStream::~LiveStream()
{
    m_source->removeReader(m_key);
}

std::string LiveStream::contentType() const
{
    if (m_framing == Framing::Raw)
    {
        return StreamFormats::contentType(m_key.format);
    }
    return std::string("multipart/x-mixed-replace; boundary=") + kBoundary;
}

std::string LiveStream::partHeader(StreamFormat format, const EncodedFrame& frame)
{
    return std::string("--") + kBoundary +
           "\r\nContent-Type: " + StreamFormats::contentType(format) +
           "\r\nContent-Length: " + std::to_string(frame.data.size()) +
           "\r\nX-Frame: " + std::to_string(frame.number) +
           "\r\nX-Keyframe: " + (frame.keyframe ? "1" : "0") +
           "\r\nX-Timestamp: " + std::to_string(frame.encodedAtMicros) + "\r\n\r\n";
}

bool LiveStream::pump(BodySink& sink)
{
    // Short waits keep the server's shutdown check running between frames.
    auto frame = m_frames->next(m_cursor, std::chrono::milliseconds(250));
    if (!frame)
    {
        return !m_frames->closed() && !m_source->stopped();
    }
    const auto* bytes = reinterpret_cast<const char*>(frame->data.data());
    if (m_framing == Framing::Raw)
    {
        return sink.write(bytes, frame->data.size());
    }
    const std::string header = partHeader(m_key.format, *frame);
    return sink.write(header.data(), header.size()) && sink.write(bytes, frame->data.size()) &&
           sink.write("\r\n", 2);
}

} // namespace velkordevice
