#include "common/XmlTree.h"

#include <memory>

namespace common
{

namespace
{

std::string_view view(const xmlChar* text)
{
    return text == nullptr ? std::string_view() : reinterpret_cast<const char*>(text);
}

std::string trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
    {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1));
}

} // namespace

bool XmlTree::is(const xmlNode* node, std::string_view ns, std::string_view name)
{
    return node != nullptr && node->type == XML_ELEMENT_NODE && node->ns != nullptr &&
           view(node->ns->href) == ns && view(node->name) == name;
}

const xmlNode* XmlTree::firstElement(const xmlNode* parent)
{
    for (const xmlNode* node = parent == nullptr ? nullptr : parent->children; node != nullptr;
         node = node->next)
    {
        if (node->type == XML_ELEMENT_NODE)
        {
            return node;
        }
    }
    return nullptr;
}

const xmlNode* XmlTree::child(const xmlNode* parent, std::string_view ns, std::string_view name)
{
    for (const xmlNode* node = parent == nullptr ? nullptr : parent->children; node != nullptr;
         node = node->next)
    {
        if (is(node, ns, name))
        {
            return node;
        }
    }
    return nullptr;
}

const xmlNode* XmlTree::find(const xmlNode* from, std::initializer_list<Name> path)
{
    for (const auto& [ns, name] : path)
    {
        from = child(from, ns, name);
    }
    return from;
}

std::string XmlTree::text(const xmlNode* node, bool exact)
{
    if (node == nullptr)
    {
        return {};
    }
    const std::unique_ptr<xmlChar, void (*)(void*)> content(xmlNodeGetContent(node), xmlFree);
    return exact ? std::string(view(content.get())) : trimmed(view(content.get()));
}

std::string XmlTree::attribute(const xmlNode* node, const char* name)
{
    if (node == nullptr)
    {
        return {};
    }
    const std::unique_ptr<xmlChar, void (*)(void*)> value(
        xmlGetNoNsProp(node, reinterpret_cast<const xmlChar*>(name)), xmlFree);
    return std::string(view(value.get()));
}

} // namespace common
