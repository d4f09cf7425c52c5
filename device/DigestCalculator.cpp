#include "device/DigestCalculator.h"

#include "common/AsciiText.h"
#include "device/AsciiText.h"

#include <openssl/evp.h>

#include <array>
#include <memory>

namespace velkordevice
{

std::optional<DigestAlgorithm> DigestCalculator::algorithmFromName(std::string_view name)
{
    if (common::AsciiText::equalsNoCase(name, "MD5"))
    {
        return DigestAlgorithm::Md5;
    }
    if (common::AsciiText::equalsNoCase(name, "SHA-256"))
    {
        return DigestAlgorithm::Sha256;
    }
    return std::nullopt;
}

std::string_view DigestCalculator::algorithmName(DigestAlgorithm algorithm)
{
    return algorithm == DigestAlgorithm::Md5 ? "MD5" : "SHA-256";
}

std::string DigestCalculator::hashHex(DigestAlgorithm algorithm, std::string_view data)
{
    const EVP_MD* md = algorithm == DigestAlgorithm::Md5 ? EVP_md5() : EVP_sha256();
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (!ctx || EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1 ||
        EVP_DigestUpdate(ctx.get(), data.data(), data.size()) != 1 ||
        EVP_DigestFinal_ex(ctx.get(), digest.data(), &length) != 1)
    {
        return {};
    }
    return AsciiText::hex(digest.data(), length);
}

std::string DigestCalculator::response(DigestAlgorithm algorithm, const DigestInput& input)
{
    const std::string ha1 =
        hashHex(algorithm, input.username + ':' + input.realm + ':' + input.password);
    const std::string ha2 = hashHex(algorithm, input.method + ':' + input.uri);
    return hashHex(algorithm, ha1 + ':' + input.nonce + ':' + input.nc + ':' + input.cnonce + ':' +
                                  input.qop + ':' + ha2);
}

std::string DigestCalculator::userhash(DigestAlgorithm algorithm, std::string_view username,
                                       std::string_view realm)
{
    std::string data(username);
    data += ':';
    data += realm;
    return hashHex(algorithm, data);
}

} // namespace velkordevice
