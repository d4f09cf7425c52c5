#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Text of the wire protocols and the command line: ASCII, whatever the locale. Trimming and
// comparing are common::AsciiText's, which the library uses too, so that both ends of the
// protocol read text alike.
namespace velkordevice::AsciiText
{

std::string lower(std::string_view text);
// Space and horizontal tab, HTTP's optional whitespace.
bool isBlank(char c);
// Lower-case hex, two digits a byte.
std::string hex(const unsigned char* data, std::size_t size);
// Digits only: no sign, prefix or blanks; nullopt when empty or too large.
std::optional<std::uint64_t> parseHex(std::string_view text);
std::optional<std::uint64_t> parseDecimal(std::string_view text);

} // namespace velkordevice::AsciiText
