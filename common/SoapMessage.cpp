#include "common/SoapMessage.h"

#include "common/SoapNamespaces.h"
#include "common/XmlTree.h"

#include <libxml/parser.h>

#include <climits>

namespace common
{

SoapMessage SoapMessage::parse(std::string_view xml)
{
    SoapMessage message;
    if (xml.size() > static_cast<std::size_t>(INT_MAX))
    {
        return message;
    }
    // No network, no entity substitution, no external subsets: a request names nothing else.
    message.m_document.reset(xmlReadMemory(
        xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA));
    if (!message.m_document || message.m_document->intSubset != nullptr)
    {
        return message;
    }
    message.m_problem = Problem::NotSoap12;
    const xmlNode* root = xmlDocGetRootElement(message.m_document.get());
    const char* env = SoapNamespaces::kEnvelope;
    const xmlNode* body = XmlTree::child(root, env, "Body");
    if (!XmlTree::is(root, env, "Envelope") || body == nullptr)
    {
        return message;
    }
    message.m_header = XmlTree::child(root, env, "Header");
    message.m_operation = XmlTree::firstElement(body);
    if (message.m_operation != nullptr)
    {
        message.m_problem = Problem::None;
    }
    return message;
}

} // namespace common
