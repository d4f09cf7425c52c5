#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Text of the wire protocols and the command line: ASCII, whatever the locale. The names and
// the trimming are those of the library's own AsciiText.
namespace velkordevice::AsciiText
{

// Without spaces, tabs, carriage returns and line feeds at either end.
std::string_view trim(std::string_view text);
// Letters A to Z equal to a to z; every other byte only to itself.
bool equalsNoCase(std::string_view first, std::string_view second);
std::string lower(std::string_view text);
// Space and horizontal tab, HTTP's optional whitespace.
bool isBlank(char c);
// Lower-case hex, two digits a byte.
std::string hex(const unsigned char* data, std::size_t size);
// Digits only: no sign, prefix or blanks; nullopt when empty or too large.
std::optional<std::uint64_t> parseHex(std::string_view text);
std::optional<std::uint64_t> parseDecimal(std::string_view text);

} // namespace velkordevice::AsciiText
