#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkordevice
{

// The ASCII text rules of HTTP headers and the command line, independent of the C locale.
class AsciiText
{
public:
    static std::string lower(std::string_view text);
    static bool equalsIgnoreCase(std::string_view a, std::string_view b);
    // Space and horizontal tab, HTTP's optional whitespace.
    static bool isBlank(char c);
    static std::string_view trim(std::string_view text);
    // Lower-case hex, two digits a byte.
    static std::string hex(const unsigned char* data, std::size_t size);
    // Digits only: no sign, prefix or blanks; nullopt when empty or too large.
    static std::optional<std::uint64_t> parseHex(std::string_view text);
    static std::optional<std::uint64_t> parseDecimal(std::string_view text);
};

} // namespace velkordevice
