#include "common/PasswordDigest.h"

#include "common/Base64.h"

#include <openssl/evp.h>

namespace common
{

std::string PasswordDigest::of(std::string_view nonce, std::string_view created,
                               std::string_view password)
{
    std::string input;
    input.reserve(nonce.size() + created.size() + password.size());
    input.append(nonce).append(created).append(password);
    unsigned char hash[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(input.data(), input.size(), hash, &size, EVP_sha1(), nullptr) != 1)
    {
        return {};
    }
    return Base64::encode(std::string_view(reinterpret_cast<const char*>(hash), size));
}

} // namespace common
