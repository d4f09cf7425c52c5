#include "velkor/native/MultipartParser.h"

#include "common/AsciiText.h"
#include "common/Decimal.h"

#include <algorithm>
#include <cstring>

namespace velkor
{
namespace
{

bool isUsableBoundary(std::string_view boundary)
{
    if (boundary.empty() || boundary.size() > MultipartParser::kMaxBoundaryLength)
    {
        return false;
    }
    return boundary.back() != ' ' && std::all_of(boundary.begin(), boundary.end(),
                                                 [](char c) { return c >= ' ' && c < 0x7F; });
}

} // namespace

MultipartParser::MultipartParser(const std::string& boundary, Handler handler)
    : MultipartParser(boundary, std::move(handler), Limits{})
{
}

MultipartParser::MultipartParser(const std::string& boundary, Handler handler, Limits limits)
    : m_delimiter("--" + boundary), m_scanMarker("\r\n--" + boundary),
      m_handler(std::move(handler)), m_limits(limits)
{
    if (!isUsableBoundary(boundary))
    {
        fail("unusable multipart boundary");
    }
}

std::optional<std::string> MultipartParser::boundaryOf(std::string_view contentType)
{
    if (!common::AsciiText::startsWithNoCase(common::AsciiText::trim(contentType), "multipart/"))
    {
        return std::nullopt;
    }
    std::string_view rest = contentType;
    while (true)
    {
        const auto semicolon = rest.find(';');
        if (semicolon == std::string_view::npos)
        {
            return std::nullopt;
        }
        rest.remove_prefix(semicolon + 1);
        const std::string_view parameter = common::AsciiText::trim(rest.substr(0, rest.find(';')));
        if (!common::AsciiText::startsWithNoCase(parameter, "boundary="))
        {
            continue;
        }
        std::string_view value = parameter.substr(9);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        {
            value = value.substr(1, value.size() - 2);
        }
        if (!isUsableBoundary(value))
        {
            return std::nullopt;
        }
        return std::string(value);
    }
}

bool MultipartParser::feed(const std::uint8_t* data, std::size_t size)
{
    std::size_t pos = 0;
    while (pos < size && !failed() && m_state != State::Closed)
    {
        switch (m_state)
        {
        case State::Delimiter:
        case State::Headers:
            pos += takeLine(data + pos, size - pos);
            break;
        case State::CountedBody:
            pos += takeCounted(data + pos, size - pos);
            break;
        case State::ScannedBody:
            pos += takeScanned(data + pos, size - pos);
            break;
        case State::Closed:
            break;
        }
    }
    return !failed();
}

std::size_t MultipartParser::takeLine(const std::uint8_t* data, std::size_t size)
{
    const void* newline = std::memchr(data, '\n', size);
    const std::size_t length =
        newline != nullptr
            ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(newline) - data)
            : size;
    if (m_line.size() + length > m_limits.maxHeaderBlock)
    {
        fail(m_state == State::Headers ? "part header block too long"
                                       : "no multipart boundary found");
        return size;
    }
    m_line.append(reinterpret_cast<const char*>(data), length);
    if (newline == nullptr)
    {
        return size;
    }
    std::string_view line(m_line);
    if (!line.empty() && line.back() == '\r')
    {
        line.remove_suffix(1);
    }
    if (m_state == State::Delimiter)
    {
        delimiterLine(line);
    }
    else
    {
        headerLine(line);
    }
    m_line.clear();
    return length + 1;
}

void MultipartParser::delimiterLine(std::string_view line)
{
    line = common::AsciiText::trim(line);
    if (line == m_delimiter)
    {
        m_state = State::Headers;
        m_headerBytes = 0;
        m_part.headers.clear();
        return;
    }
    if (line.size() == m_delimiter.size() + 2 &&
        line.substr(0, m_delimiter.size()) == m_delimiter &&
        line.substr(m_delimiter.size()) == "--")
    {
        m_state = State::Closed;
        return;
    }
    m_skipped += line.size() + 1;
    if (m_skipped > m_limits.maxHeaderBlock)
    {
        fail("no multipart boundary found");
    }
}

void MultipartParser::headerLine(std::string_view line)
{
    m_headerBytes += line.size() + 2;
    if (m_headerBytes > m_limits.maxHeaderBlock)
    {
        fail("part header block too long");
        return;
    }
    if (line.empty())
    {
        startBody();
        return;
    }
    if (m_part.headers.size() >= m_limits.maxHeaders)
    {
        fail("too many part headers");
        return;
    }
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0 ||
        line.substr(0, colon).find_first_of(" \t") != std::string_view::npos)
    {
        fail("malformed part header");
        return;
    }
    m_part.headers.emplace_back(std::string(line.substr(0, colon)),
                                std::string(common::AsciiText::trim(line.substr(colon + 1))));
}

void MultipartParser::startBody()
{
    const auto length = m_part.header("Content-Length");
    if (!length)
    {
        m_state = State::ScannedBody;
        m_scanFrom = 0;
        m_body.start(0);
        return;
    }
    const auto size = common::Decimal::toUnsigned(*length);
    if (!size)
    {
        fail("malformed part Content-Length");
        return;
    }
    if (*size > m_limits.maxPartSize)
    {
        fail("part of " + std::to_string(*size) + " bytes exceeds the size limit");
        return;
    }
    m_remaining = static_cast<std::size_t>(*size);
    m_body.start(m_remaining);
    m_state = State::CountedBody;
    if (m_remaining == 0)
    {
        emitPart(0);
    }
}

std::size_t MultipartParser::takeCounted(const std::uint8_t* data, std::size_t size)
{
    const std::size_t count = std::min(size, m_remaining);
    m_body.append(data, count);
    m_remaining -= count;
    if (m_remaining == 0)
    {
        emitPart(m_body.size());
    }
    return count;
}

std::size_t MultipartParser::takeScanned(const std::uint8_t* data, std::size_t size)
{
    const std::size_t before = m_body.size();
    const std::size_t capacity = m_limits.maxPartSize + m_scanMarker.size();
    const std::size_t count = std::min(size, capacity - before);
    m_body.append(data, count);
    const std::string_view buffered(reinterpret_cast<const char*>(m_body.data()), m_body.size());
    const auto found = buffered.find(m_scanMarker, m_scanFrom);
    if (found == std::string_view::npos)
    {
        if (m_body.size() >= capacity)
        {
            fail("part without Content-Length exceeds the size limit");
            return size;
        }
        m_scanFrom =
            m_body.size() >= m_scanMarker.size() ? m_body.size() - m_scanMarker.size() + 1 : 0;
        return count;
    }
    if (found > m_limits.maxPartSize)
    {
        fail("part without Content-Length exceeds the size limit");
        return size;
    }
    // The delimiter line starts two bytes into the marker; whatever of it was buffered before
    // this call goes back to the line reader, the rest is read again from `data`.
    const std::size_t lineStart = found + 2;
    std::size_t consumed = 0;
    if (lineStart < before)
    {
        m_line.assign(buffered.substr(lineStart, before - lineStart));
    }
    else
    {
        consumed = lineStart - before;
    }
    emitPart(found);
    return consumed;
}

void MultipartParser::emitPart(std::size_t size)
{
    m_part.packet = &m_body.finish(size);
    m_part.body = m_part.packet->data;
    m_part.size = size;
    ++m_parts;
    m_handler(m_part);
    m_part.packet = nullptr;
    m_part.body = nullptr;
    m_state = State::Delimiter;
    m_skipped = 0;
}

void MultipartParser::fail(std::string reason)
{
    if (m_error.empty())
    {
        m_error = std::move(reason);
    }
    m_line.clear();
    m_body.release();
}

} // namespace velkor
