#include "velkor/onvif/UsernameToken.h"

#include "common/Base64.h"
#include "common/PasswordDigest.h"
#include "common/SoapNamespaces.h"
#include "common/XmlWriter.h"
#include "common/XsdTime.h"

#include <openssl/rand.h>

namespace velkor
{

using common::Base64;
using common::PasswordDigest;
using common::SoapNamespaces;
using common::XmlWriter;
using common::XsdTime;

namespace
{

constexpr int kNonceBytes = 16;
constexpr const char* kDigestType = "http://docs.oasis-open.org/wss/2004/01/"
                                    "oasis-200401-wss-username-token-profile-1.0#PasswordDigest";
constexpr const char* kBase64Encoding = "http://docs.oasis-open.org/wss/2004/01/"
                                        "oasis-200401-wss-soap-message-security-1.0#Base64Binary";

} // namespace

std::string UsernameToken::header(std::string_view userName, std::string_view password,
                                  TimePoint created)
{
    unsigned char random[kNonceBytes];
    if (RAND_bytes(random, kNonceBytes) != 1)
    {
        return {};
    }
    const std::string nonce(reinterpret_cast<const char*>(random), kNonceBytes);
    const std::string when = XsdTime::format(created);
    XmlWriter xml;
    xml.open("wsse:Security", {{"xmlns:wsse", SoapNamespaces::kSecurity},
                               {"xmlns:wsu", SoapNamespaces::kSecurityUtility}})
        .open("wsse:UsernameToken")
        .leaf("wsse:Username", userName)
        .open("wsse:Password", {{"Type", kDigestType}})
        .text(PasswordDigest::of(nonce, when, password))
        .close()
        .open("wsse:Nonce", {{"EncodingType", kBase64Encoding}})
        .text(Base64::encode(nonce))
        .close()
        .leaf("wsu:Created", when);
    return xml.finish();
}

} // namespace velkor
