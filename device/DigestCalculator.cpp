#include "DigestCalculator.h"

#include <openssl/evp.h>

#include <array>
#include <memory>

namespace velkordevice
{

namespace
{

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
    {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 32) : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 32) : b[i];
        if (x != y)
        {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<DigestAlgorithm> DigestCalculator::algorithmFromName(std::string_view name)
{
    if (equalsIgnoreCase(name, "MD5"))
    {
        return DigestAlgorithm::Md5;
    }
    if (equalsIgnoreCase(name, "SHA-256"))
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
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(std::size_t{length} * 2);
    for (unsigned int i = 0; i < length; ++i)
    {
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 15];
    }
    return out;
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
