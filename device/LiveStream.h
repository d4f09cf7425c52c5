#pragma once

#include "EncodedFrame.h"

#include <httplib.h>

#include <cstdint>
#include <memory>
#include <string>

namespace velkordevice
{

class ChannelSource;

// One reader of /velkor/live: registered with its channel for as long as it exists, it sends the
// newest frame each time the socket has taken the previous one, so a slow reader skips frames.
class LiveStream
{
public:
    static constexpr const char* kBoundary = "velkorframe";

    LiveStream(std::shared_ptr<ChannelSource> source, int width);
    ~LiveStream();
    LiveStream(const LiveStream&) = delete;
    LiveStream& operator=(const LiveStream&) = delete;

    // Writes at most one part; false ends the response.
    bool pump(httplib::DataSink& sink);

    static std::string contentType();
    static std::string partHeader(const EncodedFrame& frame);

private:
    std::shared_ptr<ChannelSource> m_source;
    int m_width;
    uint64_t m_next = 0;
};

} // namespace velkordevice
