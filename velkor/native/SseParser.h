#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace velkor
{

// Incremental parser for a text/event-stream body: feed it bytes as they arrive, in pieces of any
// size, and it calls the handler once per complete event. Lines longer than maxLine or events
// with more than maxData bytes of data are a stream error; after an error it ignores its input.
class SseParser
{
public:
    using Handler = std::function<void(std::string_view type, std::string_view data)>;

    explicit SseParser(Handler handler, std::size_t maxLine = std::size_t{8} * 1024,
                       std::size_t maxData = std::size_t{64} * 1024);

    bool feed(const char* data, std::size_t size);
    bool failed() const { return !m_error.empty(); }
    const std::string& error() const { return m_error; }

private:
    void endLine();
    void dispatch();
    void fail(std::string reason);

    Handler m_handler;
    const std::size_t m_maxLine;
    const std::size_t m_maxData;
    std::string m_line;
    std::string m_type;
    std::string m_data;
    bool m_hasData = false;
    bool m_afterCr = false;
    bool m_firstLine = true;
    std::string m_error;
};

} // namespace velkor
