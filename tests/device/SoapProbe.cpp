#include "tests/device/SoapProbe.h"

#include "common/Base64.h"
#include "common/XsdTime.h"
#include "tests/device/HttpConnection.h"

#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace
{

const char* const kPrefixes[][2] = {{"env", "http://www.w3.org/2003/05/soap-envelope"},
                                    {"tds", SoapProbe::kDevice},
                                    {"trt", SoapProbe::kMedia},
                                    {"tt", SoapProbe::kSchema},
                                    {"tev", SoapProbe::kEvents},
                                    {"wsnt", "http://docs.oasis-open.org/wsn/b-2"},
                                    {"wsa", "http://www.w3.org/2005/08/addressing"},
                                    {"tns1", "http://www.onvif.org/ver10/topics"},
                                    {"ter", "http://www.onvif.org/ver10/error"},
                                    {"vd", "urn:quillon:velkor-device"}};

const xmlChar* xml(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

} // namespace

std::vector<std::string> SoapReply::values(const std::string& xpath) const
{
    std::vector<std::string> found;
    if (!document)
    {
        return found;
    }
    std::unique_ptr<xmlXPathContext, void (*)(xmlXPathContextPtr)> context(
        xmlXPathNewContext(document.get()), xmlXPathFreeContext);
    for (const auto& [prefix, ns] : kPrefixes)
    {
        xmlXPathRegisterNs(context.get(), xml(prefix), xml(ns));
    }
    std::unique_ptr<xmlXPathObject, void (*)(xmlXPathObjectPtr)> result(
        xmlXPathEvalExpression(xml(xpath.c_str()), context.get()), xmlXPathFreeObject);
    if (!result || result->nodesetval == nullptr)
    {
        return found;
    }
    for (int i = 0; i < result->nodesetval->nodeNr; ++i)
    {
        xmlChar* text = xmlNodeGetContent(result->nodesetval->nodeTab[i]);
        found.emplace_back(text == nullptr ? "" : reinterpret_cast<const char*>(text));
        xmlFree(text);
    }
    return found;
}

std::string SoapReply::value(const std::string& xpath) const
{
    const auto found = values(xpath);
    return found.empty() ? std::string() : found.front();
}

std::string SoapReply::faultSubcode() const
{
    const auto codes = values("/env:Envelope/env:Body/env:Fault/env:Code//env:Subcode/env:Value");
    return codes.empty() ? std::string() : codes.back();
}

std::string SoapProbe::envelope(const std::string& body, const std::string& header)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\">" +
           (header.empty() ? std::string() : "<s:Header>" + header + "</s:Header>") + "<s:Body>" +
           body + "</s:Body></s:Envelope>";
}

std::string SoapProbe::operation(const std::string& name, const char* ns,
                                 const std::string& content)
{
    return "<" + name + " xmlns=\"" + ns + "\" xmlns:tt=\"" + kSchema + "\">" + content + "</" +
           name + ">";
}

std::string SoapProbe::usernameToken(const std::string& user, const std::string& password,
                                     TimePoint created, const std::string& nonce, bool asText)
{
    const std::string createdText = common::XsdTime::format(created);
    const std::string input = nonce + createdText + password;
    unsigned char hash[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(input.data(), input.size(), hash, &size, EVP_sha1(), nullptr);
    const std::string digest =
        common::Base64::encode(std::string(reinterpret_cast<char*>(hash), size));
    const std::string profile = "http://docs.oasis-open.org/wss/2004/01/"
                                "oasis-200401-wss-username-token-profile-1.0";
    return "<wsse:Security s:mustUnderstand=\"true\" xmlns:wsse=\"http://docs.oasis-open.org/wss/"
           "2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd\" xmlns:wsu=\"http://"
           "docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd\">"
           "<wsse:UsernameToken><wsse:Username>" +
           user + "</wsse:Username><wsse:Password Type=\"" + profile +
           (asText ? "#PasswordText\">" + password : "#PasswordDigest\">" + digest) +
           "</wsse:Password><wsse:Nonce EncodingType=\"http://docs.oasis-open.org/wss/2004/01/"
           "oasis-200401-wss-soap-message-security-1.0#Base64Binary\">" +
           common::Base64::encode(nonce) + "</wsse:Nonce><wsu:Created>" + createdText +
           "</wsu:Created></wsse:UsernameToken></wsse:Security>";
}

std::string SoapProbe::randomNonce()
{
    std::string nonce(16, '\0');
    RAND_bytes(reinterpret_cast<unsigned char*>(nonce.data()), static_cast<int>(nonce.size()));
    return nonce;
}

std::string SoapProbe::request(const std::string& path, const std::string& body,
                               const std::string& host) const
{
    return "POST " + path +
           " HTTP/1.1\r\nHost: " + (host.empty() ? "127.0.0.1:" + std::to_string(m_port) : host) +
           "\r\nContent-Type: application/soap+xml; charset=utf-8\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

std::optional<SoapReply> SoapProbe::post(const std::string& path, const std::string& body,
                                         const std::string& host) const
{
    HttpConnection connection;
    if (!connection.open(m_port))
    {
        return std::nullopt;
    }
    if (!connection.sendRaw(request(path, body, host)))
    {
        return std::nullopt;
    }
    const auto reply = connection.readReply();
    if (!reply)
    {
        return std::nullopt;
    }
    SoapReply soap{reply->head.status, reply->body, reply->head.all("www-authenticate"), {}};
    soap.document.reset(xmlReadMemory(soap.body.data(), static_cast<int>(soap.body.size()), nullptr,
                                      nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR),
                        xmlFreeDoc);
    return soap;
}
