#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor
{

// One part of a multipart body as the parser hands it out; the body points into the parser's
// buffer and is valid during the handler call only.
struct MultipartPart
{
    std::vector<std::pair<std::string, std::string>> headers;
    const std::uint8_t* body = nullptr;
    std::size_t size = 0;

    // The value of the first header with this name, compared without regard to case.
    std::optional<std::string_view> header(std::string_view name) const;
};

} // namespace velkor
