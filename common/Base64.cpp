#include "common/Base64.h"

#include <openssl/evp.h>

#include <limits>

namespace common
{

std::string Base64::encode(std::string_view data)
{
    constexpr std::size_t kLargestInput =
        static_cast<std::size_t>(std::numeric_limits<int>::max()) / 4 * 3;
    if (data.size() > kLargestInput)
    {
        return {};
    }
    // One more for the terminating NUL that EVP_EncodeBlock writes.
    std::string out((data.size() + 2) / 3 * 4 + 1, '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                        reinterpret_cast<const unsigned char*>(data.data()),
                                        static_cast<int>(data.size()));
    out.resize(static_cast<std::size_t>(written));
    return out;
}

std::optional<std::string> Base64::decode(std::string_view text)
{
    if (text.size() % 4 != 0 ||
        text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    {
        return std::nullopt;
    }
    std::string out(text.size() / 4 * 3, '\0');
    const int written = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                        reinterpret_cast<const unsigned char*>(text.data()),
                                        static_cast<int>(text.size()));
    if (written < 0)
    {
        return std::nullopt;
    }
    // EVP_DecodeBlock counts padding as zero bytes, skips blanks around the text and ignores
    // bits that do not fit a whole byte; only the one canonical spelling of the bytes passes.
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=')
    {
        ++padding;
    }
    if (static_cast<std::size_t>(written) < padding)
    {
        return std::nullopt;
    }
    out.resize(static_cast<std::size_t>(written) - padding);
    if (encode(out) != text)
    {
        return std::nullopt;
    }
    return out;
}

} // namespace common
