#include "Base64.h"

#include <array>
#include <cstdint>

namespace velkordevice
{

namespace
{

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char c)
{
    auto pos = kAlphabet.find(c);
    return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

} // namespace

std::string Base64::encode(std::string_view data)
{
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < data.size(); i += 3)
    {
        uint32_t chunk = static_cast<uint8_t>(data[i]) << 16;
        const std::size_t left = data.size() - i;
        if (left > 1)
        {
            chunk |= static_cast<uint32_t>(static_cast<uint8_t>(data[i + 1])) << 8;
        }
        if (left > 2)
        {
            chunk |= static_cast<uint8_t>(data[i + 2]);
        }
        out += kAlphabet[(chunk >> 18) & 63];
        out += kAlphabet[(chunk >> 12) & 63];
        out += left > 1 ? kAlphabet[(chunk >> 6) & 63] : '=';
        out += left > 2 ? kAlphabet[chunk & 63] : '=';
    }
    return out;
}

std::optional<std::string> Base64::decode(std::string_view text)
{
    if (text.size() % 4 != 0)
    {
        return std::nullopt;
    }
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4)
    {
        const bool last = i + 4 == text.size();
        std::array<int, 4> v{};
        int padding = 0;
        for (std::size_t k = 0; k < 4; ++k)
        {
            const char c = text[i + k];
            if (c == '=' && last && k >= 2)
            {
                ++padding;
                v[k] = 0;
                continue;
            }
            if (padding > 0)
            {
                return std::nullopt;
            }
            v[k] = sextet(c);
            if (v[k] < 0)
            {
                return std::nullopt;
            }
        }
        const uint32_t chunk = static_cast<uint32_t>(v[0]) << 18 |
                               static_cast<uint32_t>(v[1]) << 12 |
                               static_cast<uint32_t>(v[2]) << 6 | static_cast<uint32_t>(v[3]);
        out += static_cast<char>((chunk >> 16) & 0xff);
        if (padding < 2)
        {
            out += static_cast<char>((chunk >> 8) & 0xff);
        }
        if (padding < 1)
        {
            out += static_cast<char>(chunk & 0xff);
        }
    }
    return out;
}

} // namespace velkordevice
