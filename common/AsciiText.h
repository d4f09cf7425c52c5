#pragma once

#include <string_view>

// Text of the wire protocols: ASCII, whatever the locale.
namespace common::AsciiText
{

// Without spaces, tabs, carriage returns and line feeds at either end.
std::string_view trim(std::string_view text);
// Letters A to Z equal to a to z; every other byte only to itself.
bool equalsNoCase(std::string_view first, std::string_view second);
bool startsWithNoCase(std::string_view text, std::string_view prefix);

} // namespace common::AsciiText
