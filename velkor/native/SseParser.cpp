#include "velkor/native/SseParser.h"

namespace velkor
{

SseParser::SseParser(Handler handler, std::size_t maxLine, std::size_t maxData)
    : m_handler(std::move(handler)), m_maxLine(maxLine), m_maxData(maxData)
{
}

bool SseParser::feed(const char* data, std::size_t size)
{
    for (std::size_t i = 0; i < size && !failed(); ++i)
    {
        const char c = data[i];
        if (m_afterCr)
        {
            m_afterCr = false;
            if (c == '\n')
            {
                continue;
            }
        }
        if (c == '\r' || c == '\n')
        {
            m_afterCr = c == '\r';
            endLine();
            continue;
        }
        if (m_line.size() >= m_maxLine)
        {
            fail("event stream line longer than " + std::to_string(m_maxLine) + " bytes");
            break;
        }
        m_line.push_back(c);
    }
    return !failed();
}

void SseParser::endLine()
{
    std::string_view line(m_line);
    if (m_firstLine)
    {
        m_firstLine = false;
        if (line.substr(0, 3) == "\xEF\xBB\xBF")
        {
            line.remove_prefix(3);
        }
    }
    if (line.empty())
    {
        dispatch();
    }
    else if (line.front() != ':')
    {
        const auto colon = line.find(':');
        const std::string_view field = line.substr(0, colon);
        std::string_view value;
        if (colon != std::string_view::npos)
        {
            value = line.substr(colon + 1);
            if (!value.empty() && value.front() == ' ')
            {
                value.remove_prefix(1);
            }
        }
        if (field == "event")
        {
            m_type = value;
        }
        else if (field == "data")
        {
            if (m_data.size() + value.size() + 1 > m_maxData)
            {
                fail("event data longer than " + std::to_string(m_maxData) + " bytes");
                return;
            }
            m_data.append(value);
            m_data.push_back('\n');
            m_hasData = true;
        }
    }
    m_line.clear();
}

void SseParser::dispatch()
{
    if (m_hasData)
    {
        std::string_view data(m_data);
        data.remove_suffix(1);
        m_handler(m_type.empty() ? std::string_view("message") : std::string_view(m_type), data);
    }
    m_type.clear();
    m_data.clear();
    m_hasData = false;
}

void SseParser::fail(std::string reason)
{
    m_error = std::move(reason);
    m_line.clear();
    m_data.clear();
}

} // namespace velkor
