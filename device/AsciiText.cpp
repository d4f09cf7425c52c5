#include "device/AsciiText.h"

#include <algorithm>
#include <charconv>

namespace velkordevice::AsciiText
{

namespace
{

char lowerChar(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::optional<std::uint64_t> parseDigits(std::string_view text, int base)
{
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || ec != std::errc() || ptr != end)
    {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::string lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lowerChar);
    return out;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string hex(const unsigned char* data, std::size_t size)
{
    static constexpr std::string_view kDigits = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i)
    {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

std::optional<std::uint64_t> parseHex(std::string_view text)
{
    return parseDigits(text, 16);
}

std::optional<std::uint64_t> parseDecimal(std::string_view text)
{
    return parseDigits(text, 10);
}

} // namespace velkordevice::AsciiText
