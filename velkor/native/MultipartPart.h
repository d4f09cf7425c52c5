#pragma once

extern "C"
{
#include <libavcodec/packet.h>
}

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor
{

// One part of a multipart body as the parser hands it out, valid during the handler call only.
// The body is the data of a reference-counted packet that libavcodec can decode as it is (zero
// padding after the data); a handler that keeps the body takes a reference to the packet.
struct MultipartPart
{
    std::vector<std::pair<std::string, std::string>> headers;
    const AVPacket* packet = nullptr;
    const std::uint8_t* body = nullptr;
    std::size_t size = 0;

    // The value of the first header with this name, compared without regard to case.
    std::optional<std::string_view> header(std::string_view name) const;
};

} // namespace velkor
