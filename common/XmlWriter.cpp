#include "common/XmlWriter.h"

namespace common
{

XmlWriter& XmlWriter::open(std::string_view name, const Attributes& attributes)
{
    start(name, attributes);
    m_out += '>';
    m_open.emplace_back(name);
    return *this;
}

XmlWriter& XmlWriter::close()
{
    if (!m_open.empty())
    {
        m_out += "</" + m_open.back() + '>';
        m_open.pop_back();
    }
    return *this;
}

XmlWriter& XmlWriter::leaf(std::string_view name, std::string_view text)
{
    return open(name).text(text).close();
}

XmlWriter& XmlWriter::empty(std::string_view name, const Attributes& attributes)
{
    start(name, attributes);
    m_out += "/>";
    return *this;
}

XmlWriter& XmlWriter::text(std::string_view text)
{
    m_out += escape(text);
    return *this;
}

XmlWriter& XmlWriter::raw(std::string_view xml)
{
    m_out += xml;
    return *this;
}

std::string XmlWriter::finish()
{
    while (!m_open.empty())
    {
        close();
    }
    return std::move(m_out);
}

std::string XmlWriter::escape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
    {
        switch (c)
        {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void XmlWriter::start(std::string_view name, const Attributes& attributes)
{
    m_out += '<';
    m_out += name;
    for (const auto& [attribute, value] : attributes)
    {
        m_out += ' ';
        m_out += attribute;
        m_out += "=\"" + escape(value) + '"';
    }
}

} // namespace common
