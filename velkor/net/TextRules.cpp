#include "velkor/net/TextRules.h"

#include "velkor/report/ResultCode.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace velkor::TextRules
{
namespace
{

bool isIpv4Literal(std::string_view text)
{
    std::string copy(text);
    in_addr addr{};
    return inet_pton(AF_INET, copy.c_str(), &addr) == 1;
}

bool isLabelChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

bool isHostName(std::string_view text)
{
    if (!text.empty() && text.back() == '.')
    {
        text.remove_suffix(1);
    }
    if (text.empty() || text.size() > 253)
    {
        return false;
    }
    std::string_view lastLabel;
    while (true)
    {
        const auto dot = text.find('.');
        const std::string_view label = text.substr(0, dot);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
        {
            return false;
        }
        if (!std::all_of(label.begin(), label.end(), isLabelChar))
        {
            return false;
        }
        lastLabel = label;
        if (dot == std::string_view::npos)
        {
            break;
        }
        text.remove_prefix(dot + 1);
    }
    // An all-digit top label would make "1.2.3.400" a host name instead of a bad address.
    return !std::all_of(lastLabel.begin(), lastLabel.end(),
                        [](char c) { return c >= '0' && c <= '9'; });
}

// Decodes one UTF-8 sequence at text[pos]; returns its length or 0 when malformed.
std::size_t decodeUtf8(std::string_view text, std::size_t pos, char32_t& codePoint)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80)
    {
        codePoint = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0)
    {
        length = 2;
        codePoint = lead & 0x1F;
        minimum = 0x80;
    }
    else if ((lead & 0xF0) == 0xE0)
    {
        length = 3;
        codePoint = lead & 0x0F;
        minimum = 0x800;
    }
    else if ((lead & 0xF8) == 0xF0)
    {
        length = 4;
        codePoint = lead & 0x07;
        minimum = 0x10000;
    }
    else
    {
        return 0;
    }
    if (pos + length > text.size())
    {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i)
    {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80)
        {
            return 0;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
    {
        return 0;
    }
    return length;
}

} // namespace

bool isIpv6Literal(std::string_view text)
{
    std::string copy(text);
    in6_addr addr{};
    return inet_pton(AF_INET6, copy.c_str(), &addr) == 1;
}

int32_t checkAddress(std::string_view text)
{
    if (text.find('\0') != std::string_view::npos)
    {
        return AddressInvalid;
    }
    if (isIpv4Literal(text) || isIpv6Literal(text) || isHostName(text))
    {
        return Ok;
    }
    return AddressInvalid;
}

int32_t checkCredential(std::string_view text, std::size_t maxBytes)
{
    if (text.size() > maxBytes)
    {
        return TextTooLong;
    }
    for (std::size_t pos = 0; pos < text.size();)
    {
        char32_t codePoint = 0;
        const std::size_t length = decodeUtf8(text, pos, codePoint);
        if (length == 0)
        {
            return TextNotUtf8;
        }
        if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F))
        {
            return TextHasControl;
        }
        pos += length;
    }
    return Ok;
}

int32_t copyOut(std::string_view text, char* buffer, int32_t size)
{
    if (buffer == nullptr || size <= 0)
    {
        return InvalidArgument;
    }
    std::size_t count = std::min(text.size(), static_cast<std::size_t>(size) - 1);
    if (count < text.size())
    {
        // Never leave half a character behind: back up over continuation bytes.
        while (count > 0 && (static_cast<unsigned char>(text[count]) & 0xC0) == 0x80)
        {
            --count;
        }
    }
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return static_cast<int32_t>(std::min<std::size_t>(text.size(), INT32_MAX));
}

} // namespace velkor::TextRules
