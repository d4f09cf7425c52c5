#include "device/AuthParams.h"

#include "common/AsciiText.h"
#include "device/AsciiText.h"

#include <utility>

namespace velkordevice
{

namespace
{

bool isTokenChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
    {
        return true;
    }
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

class Cursor
{
public:
    explicit Cursor(std::string_view text) : m_text(text) {}
    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return m_text[m_pos]; }
    void skipSpace()
    {
        while (!atEnd() && AsciiText::isBlank(peek()))
        {
            ++m_pos;
        }
    }
    std::string_view token()
    {
        std::size_t start = m_pos;
        while (!atEnd() && isTokenChar(peek()))
        {
            ++m_pos;
        }
        return m_text.substr(start, m_pos - start);
    }
    std::string_view rest() const { return m_text.substr(m_pos); }
    bool consume(char c)
    {
        if (atEnd() || peek() != c)
        {
            return false;
        }
        ++m_pos;
        return true;
    }
    std::optional<std::string> quoted()
    {
        std::string out;
        while (!atEnd())
        {
            char c = m_text[m_pos++];
            if (c == '"')
            {
                return out;
            }
            if (c == '\\')
            {
                if (atEnd())
                {
                    return std::nullopt;
                }
                c = m_text[m_pos++];
            }
            out += c;
        }
        return std::nullopt;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

// token68 form: a single token optionally followed by '=' padding and nothing else.
bool isToken68(std::string_view text)
{
    if (text.find(',') != std::string_view::npos || text.find('"') != std::string_view::npos)
    {
        return false;
    }
    const std::size_t eq = text.find('=');
    return eq == std::string_view::npos ||
           text.find_first_not_of('=', eq) == std::string_view::npos;
}

// One `name=value` or `name="quoted value"`, the name lower-cased; nullopt when malformed.
std::optional<std::pair<std::string, std::string>> nextParam(Cursor& cur)
{
    std::string name = AsciiText::lower(cur.token());
    cur.skipSpace();
    if (name.empty() || !cur.consume('='))
    {
        return std::nullopt;
    }
    cur.skipSpace();
    if (cur.consume('"'))
    {
        auto quoted = cur.quoted();
        if (!quoted)
        {
            return std::nullopt;
        }
        return std::pair(std::move(name), std::move(*quoted));
    }
    std::string value(cur.token());
    if (value.empty())
    {
        return std::nullopt;
    }
    return std::pair(std::move(name), std::move(value));
}

} // namespace

std::optional<AuthParams> AuthParams::parse(std::string_view header)
{
    AuthParams result;
    Cursor cur(header);
    cur.skipSpace();
    result.scheme = AsciiText::lower(cur.token());
    if (result.scheme.empty())
    {
        return std::nullopt;
    }
    if (cur.atEnd())
    {
        return result;
    }
    if (!AsciiText::isBlank(cur.peek()))
    {
        return std::nullopt;
    }
    cur.skipSpace();
    if (const std::string_view rest = common::AsciiText::trim(cur.rest()); isToken68(rest))
    {
        result.token = std::string(rest);
        return result;
    }
    while (true)
    {
        cur.skipSpace();
        if (cur.atEnd())
        {
            break;
        }
        if (cur.consume(','))
        {
            continue;
        }
        auto param = nextParam(cur);
        if (!param || !result.params.emplace(std::move(*param)).second)
        {
            return std::nullopt;
        }
        cur.skipSpace();
        if (!cur.atEnd() && !cur.consume(','))
        {
            return std::nullopt;
        }
    }
    return result;
}

std::string AuthParams::value(const std::string& name) const
{
    auto it = params.find(name);
    return it == params.end() ? std::string() : it->second;
}

} // namespace velkordevice
