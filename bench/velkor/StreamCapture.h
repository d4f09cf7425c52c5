#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velkortest
{

struct CapturedPart
{
    // The part as it came, delimiter and headers included.
    std::string bytes;
    std::string body;
    bool keyframe = false;
};

// The first parts of a live stream, for benchmarks that replay them without the network.
class StreamCapture
{
public:
    // Empty, with `error` saying why, when the stream could not be read.
    static std::vector<CapturedPart> capture(const std::string& url, std::size_t count,
                                             std::string& error);
};

} // namespace velkortest
