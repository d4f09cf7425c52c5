#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace common
{

// Writes XML text element by element; names go out as given, attribute values and text escaped.
class XmlWriter
{
public:
    using Attributes = std::vector<std::pair<std::string_view, std::string>>;

    XmlWriter& open(std::string_view name, const Attributes& attributes = {});
    XmlWriter& close();
    // <name>text</name>
    XmlWriter& leaf(std::string_view name, std::string_view text);
    // <name attributes/>
    XmlWriter& empty(std::string_view name, const Attributes& attributes);
    XmlWriter& text(std::string_view text);
    // Already well-formed XML, as another writer made it.
    XmlWriter& raw(std::string_view xml);

    // Every element opened is closed first.
    std::string finish();

    static std::string escape(std::string_view text);

private:
    void start(std::string_view name, const Attributes& attributes);

    std::string m_out;
    std::vector<std::string> m_open;
};

} // namespace common
