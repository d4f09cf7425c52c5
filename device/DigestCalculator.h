#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velkordevice
{

enum class DigestAlgorithm
{
    Md5,
    Sha256
};

struct DigestInput
{
    std::string username;
    std::string realm;
    std::string password;
    std::string method;
    std::string uri;
    std::string nonce;
    std::string nc;
    std::string cnonce;
    std::string qop;
};

// RFC 7616 digest arithmetic for qop=auth, without any protocol state.
class DigestCalculator
{
public:
    static std::optional<DigestAlgorithm> algorithmFromName(std::string_view name);
    static std::string_view algorithmName(DigestAlgorithm algorithm);
    static std::string hashHex(DigestAlgorithm algorithm, std::string_view data);
    static std::string response(DigestAlgorithm algorithm, const DigestInput& input);
    // The value a client sends as username when it sets userhash=true.
    static std::string userhash(DigestAlgorithm algorithm, std::string_view username,
                                std::string_view realm);
};

} // namespace velkordevice
