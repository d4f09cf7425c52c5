// Feeds arbitrary bytes to what reads a camera's answers at Open: the session description of an
// RTSP camera and the start of an HTTP camera's stream. The first input byte picks the piece size
// of the stream; the first line is the stream's Content-Type.
#include "velkor/camera/MjpegStreamHead.h"
#include "velkor/camera/SdpVideo.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    velkor::SdpVideo::parse(text);

    velkor::MjpegStreamHead head;
    const std::size_t lineEnd = text.find('\n');
    head.setContentType(text.substr(0, lineEnd));
    const std::string_view body =
        lineEnd == std::string_view::npos ? std::string_view() : text.substr(lineEnd + 1);
    for (std::size_t at = 0; at < body.size(); at += piece)
    {
        if (!head.feed(body.data() + at, std::min(piece, body.size() - at)))
            break;
    }
    head.fault();
    return 0;
}
