#include "device/AsciiText.h"

#include <charconv>

namespace velkordevice
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

std::string AsciiText::lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
    {
        c = lowerChar(c);
    }
    return out;
}

bool AsciiText::equalsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
    {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        if (lowerChar(a[i]) != lowerChar(b[i]))
        {
            return false;
        }
    }
    return true;
}

bool AsciiText::isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view AsciiText::trim(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
    {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back()))
    {
        text.remove_suffix(1);
    }
    return text;
}

std::string AsciiText::hex(const unsigned char* data, std::size_t size)
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

std::optional<std::uint64_t> AsciiText::parseHex(std::string_view text)
{
    return parseDigits(text, 16);
}

std::optional<std::uint64_t> AsciiText::parseDecimal(std::string_view text)
{
    return parseDigits(text, 10);
}

} // namespace velkordevice
