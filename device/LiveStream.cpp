#include "LiveStream.h"

#include "ChannelSource.h"

namespace velkordevice
{

LiveStream::LiveStream(std::shared_ptr<ChannelSource> source, int width)
    : m_source(std::move(source)), m_width(width)
{
    m_source->addReader(m_width);
}

LiveStream::~LiveStream()
{
    m_source->removeReader(m_width);
}

std::string LiveStream::contentType()
{
    return std::string("multipart/x-mixed-replace; boundary=") + kBoundary;
}

std::string LiveStream::partHeader(const EncodedFrame& frame)
{
    return std::string("--") + kBoundary +
           "\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(frame.jpeg.size()) +
           "\r\nX-Frame: " + std::to_string(frame.number) + "\r\n\r\n";
}

bool LiveStream::pump(httplib::DataSink& sink)
{
    // Short waits keep the server's shutdown check running between frames.
    auto frame = m_source->waitForFrame(m_width, m_next, std::chrono::milliseconds(250));
    if (!frame)
    {
        return !m_source->stopped();
    }
    m_next = frame->number + 1;
    const std::string header = partHeader(*frame);
    const auto* jpeg = reinterpret_cast<const char*>(frame->jpeg.data());
    return sink.write(header.data(), header.size()) && sink.write(jpeg, frame->jpeg.size()) &&
           sink.write("\r\n", 2);
}

} // namespace velkordevice
