#include "velkor/onvif/EndpointReference.h"

#include "common/SoapNamespaces.h"
#include "common/XmlTree.h"
#include "common/XmlWriter.h"

#include <openssl/rand.h>

#include <array>
#include <cstdio>
#include <memory>

namespace velkor
{

using common::SoapNamespaces;
using common::XmlTree;
using common::XmlWriter;

namespace
{

constexpr const char* kAnonymous = "http://www.w3.org/2005/08/addressing/anonymous";

const xmlChar* xml(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

// A random (version 4) UUID as a URN; empty when no random bytes could be had.
std::string messageId()
{
    std::array<unsigned char, 16> bytes{};
    if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1)
    {
        return {};
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0f) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3f) | 0x80);
    std::string id = "urn:uuid:";
    for (std::size_t i = 0; i < bytes.size(); ++i)
    {
        std::array<char, 3> hex{};
        std::snprintf(hex.data(), hex.size(), "%02x", bytes[i]);
        id += hex.data();
        if (i == 3 || i == 5 || i == 7 || i == 9)
        {
            id += '-';
        }
    }
    return id;
}

// WS-Addressing's namespace declared on `block`, under a prefix the camera left free.
xmlNs* addressingNamespace(xmlNode* block, xmlDoc* scratch)
{
    xmlNs* wsa = xmlSearchNsByHref(scratch, block, xml(SoapNamespaces::kAddressing));
    for (int i = 0; wsa == nullptr && i < 100; ++i)
    {
        const std::string prefix = "wsa" + (i == 0 ? std::string() : std::to_string(i));
        if (xmlSearchNs(scratch, block, xml(prefix.c_str())) == nullptr)
        {
            wsa = xmlNewNs(block, xml(SoapNamespaces::kAddressing), xml(prefix.c_str()));
        }
    }
    return wsa;
}

// `parameter` as a header block of its own, written by libxml2 from a copy of it: with every
// namespace in scope where the camera wrote it (its content may name some, as QNames) and
// marked as a reference parameter. Empty when it cannot be copied.
std::string headerBlock(const xmlNode* parameter, xmlDoc* scratch)
{
    const std::unique_ptr<xmlNode, void (*)(xmlNodePtr)> copy(
        xmlDocCopyNode(const_cast<xmlNode*>(parameter), scratch, 1), xmlFreeNode);
    if (!copy)
    {
        return {};
    }
    const std::unique_ptr<xmlNs*, void (*)(void*)> inScope(xmlGetNsList(parameter->doc, parameter),
                                                           xmlFree);
    for (xmlNs** ns = inScope.get(); ns != nullptr && *ns != nullptr; ++ns)
    {
        if (xmlSearchNs(scratch, copy.get(), (*ns)->prefix) == nullptr)
        {
            xmlNewNs(copy.get(), (*ns)->href, (*ns)->prefix);
        }
    }
    xmlNs* wsa = addressingNamespace(copy.get(), scratch);
    if (wsa == nullptr ||
        xmlSetNsProp(copy.get(), wsa, xml("IsReferenceParameter"), xml("true")) == nullptr)
    {
        return {};
    }
    const std::unique_ptr<xmlBuffer, void (*)(xmlBufferPtr)> buffer(xmlBufferCreate(),
                                                                    xmlBufferFree);
    if (!buffer || xmlNodeDump(buffer.get(), scratch, copy.get(), 0, 0) < 0)
    {
        return {};
    }
    return {reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
            static_cast<std::size_t>(xmlBufferLength(buffer.get()))};
}

} // namespace

EndpointReference::EndpointReference(std::string address) : m_address(std::move(address)) {}

std::optional<EndpointReference> EndpointReference::read(const xmlNode* reference, std::string& why)
{
    const char* wsa = SoapNamespaces::kAddressing;
    EndpointReference endpoint(XmlTree::text(XmlTree::child(reference, wsa, "Address")));
    if (endpoint.m_address.empty() || endpoint.m_address.size() > kMaxAddressBytes)
    {
        why = endpoint.m_address.empty() ? "without a subscription's address"
                                         : "with a subscription's address beyond " +
                                               std::to_string(kMaxAddressBytes) + " bytes";
        return std::nullopt;
    }
    const xmlNode* parameters = XmlTree::child(reference, wsa, "ReferenceParameters");
    const std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> scratch(xmlNewDoc(xml("1.0")), xmlFreeDoc);
    std::size_t count = 0;
    for (const xmlNode* parameter = XmlTree::firstElement(parameters); parameter != nullptr;
         parameter = parameter->next)
    {
        if (parameter->type != XML_ELEMENT_NODE)
        {
            continue;
        }
        const std::string block = ++count <= kMaxParameters && scratch
                                      ? headerBlock(parameter, scratch.get())
                                      : std::string();
        if (block.empty() || endpoint.m_parameters.size() + block.size() > kMaxParameterBytes)
        {
            why = "with reference parameters the library does not send back (more than " +
                  std::to_string(kMaxParameters) + " or " + std::to_string(kMaxParameterBytes) +
                  " bytes)";
            return std::nullopt;
        }
        endpoint.m_parameters += block;
    }
    return endpoint;
}

std::string EndpointReference::headers(std::string_view action) const
{
    const XmlWriter::Attributes wsa{{"xmlns:wsa", SoapNamespaces::kAddressing}};
    XmlWriter xml;
    xml.open("wsa:Action", wsa).text(action).close();
    if (const std::string id = messageId(); !id.empty())
    {
        xml.open("wsa:MessageID", wsa).text(id).close();
    }
    xml.open("wsa:ReplyTo", wsa).leaf("wsa:Address", kAnonymous).close();
    xml.open("wsa:To", wsa).text(m_address).close();
    return xml.raw(m_parameters).finish();
}

} // namespace velkor
