#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace velkordevice
{

// An Authorization header value: a scheme and, for Digest, its comma separated parameters.
struct AuthParams
{
    std::string scheme;
    // For token68 credentials (Basic): the raw token.
    std::string token;
    // Parameter names lower-cased, quoted values unescaped.
    std::map<std::string, std::string> params;

    static std::optional<AuthParams> parse(std::string_view header);
    std::string value(const std::string& name) const;
    bool has(const std::string& name) const { return params.count(name) != 0; }
};

} // namespace velkordevice
