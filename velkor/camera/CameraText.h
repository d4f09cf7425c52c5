#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velkor
{

// Text a camera chose (a header, an encoding name, where it redirects) made fit for a message: a
// listener prints it, so it carries no escape sequence, no byte outside printable ASCII and no
// NUL that would end the sentence early, and a camera cannot fill the message with it.
class CameraText
{
public:
    static constexpr std::size_t kMaxBytes = 120;

    // Each byte that is not printable ASCII becomes '?'; text beyond kMaxBytes is cut off and
    // "..." says so.
    static std::string printable(std::string_view text);
};

} // namespace velkor
