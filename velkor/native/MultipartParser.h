#pragma once

#include "velkor/native/MultipartPart.h"
#include "velkor/native/PacketBuilder.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velkor
{

// Incremental parser for a multipart/x-mixed-replace body: feed it bytes as they arrive, in
// pieces of any size, and it calls the handler once per complete part. A part with a
// Content-Length is read by count, one without by searching for the next delimiter. Anything
// beyond the limits is a stream error; after an error the parser ignores its input, so a hostile
// peer can make it neither crash nor grow without bound. A part's body is collected once, into
// a packet a decoder takes as it is.
class MultipartParser
{
public:
    struct Limits
    {
        std::size_t maxHeaderBlock = std::size_t{8} * 1024;
        std::size_t maxHeaders = 32;
        std::size_t maxPartSize = std::size_t{8} * 1024 * 1024;
    };
    static constexpr std::size_t kMaxBoundaryLength = 70;

    using Handler = std::function<void(const MultipartPart&)>;

    MultipartParser(const std::string& boundary, Handler handler);
    MultipartParser(const std::string& boundary, Handler handler, Limits limits);

    // The boundary parameter of a Content-Type value, or nothing when it is not multipart or has
    // no usable boundary.
    static std::optional<std::string> boundaryOf(std::string_view contentType);

    bool feed(const std::uint8_t* data, std::size_t size);
    bool failed() const { return !m_error.empty(); }
    const std::string& error() const { return m_error; }
    std::size_t partCount() const { return m_parts; }

private:
    enum class State
    {
        Delimiter,
        Headers,
        CountedBody,
        ScannedBody,
        Closed
    };

    std::size_t takeLine(const std::uint8_t* data, std::size_t size);
    void delimiterLine(std::string_view line);
    void headerLine(std::string_view line);
    void startBody();
    std::size_t takeCounted(const std::uint8_t* data, std::size_t size);
    std::size_t takeScanned(const std::uint8_t* data, std::size_t size);
    void emitPart(std::size_t size);
    void fail(std::string reason);

    const std::string m_delimiter;
    const std::string m_scanMarker;
    Handler m_handler;
    const Limits m_limits;
    State m_state = State::Delimiter;
    std::string m_line;
    std::size_t m_skipped = 0;
    std::size_t m_headerBytes = 0;
    MultipartPart m_part;
    PacketBuilder m_body;
    std::size_t m_remaining = 0;
    std::size_t m_scanFrom = 0;
    std::size_t m_parts = 0;
    std::string m_error;
};

} // namespace velkor
