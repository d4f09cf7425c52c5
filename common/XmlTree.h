#pragma once

#include <libxml/tree.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace common
{

// Reads a parsed document by namespace URI and local name, never by prefix.
class XmlTree
{
public:
    using Name = std::pair<std::string_view, std::string_view>; // namespace URI, local name

    static bool is(const xmlNode* node, std::string_view ns, std::string_view name);
    // The first element child, of any name.
    static const xmlNode* firstElement(const xmlNode* parent);
    static const xmlNode* child(const xmlNode* parent, std::string_view ns, std::string_view name);
    // child(child(...)) down the path; nullptr where a step is missing.
    static const xmlNode* find(const xmlNode* from, std::initializer_list<Name> path);
    // The text inside, blanks around it trimmed unless `exact`; empty for nullptr.
    static std::string text(const xmlNode* node, bool exact = false);
    // An attribute without namespace, empty when absent.
    static std::string attribute(const xmlNode* node, const char* name);
};

} // namespace common
