#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velkor
{

// The start of an HTTP camera's answer, read until it tells whether the answer is a multipart
// JPEG stream. Cameras announce multipart/x-mixed-replace, but some servers (ffmpeg's among them)
// send such a stream as application/octet-stream, so the first part decides: a boundary line,
// then headers naming image/jpeg.
class MjpegStreamHead
{
public:
    // Enough for the first part's headers of any multipart stream a camera sends.
    static constexpr std::size_t kMaxBytes = std::size_t{8} * 1024;

    void setContentType(std::string_view contentType) { m_contentType = contentType; }
    // False once enough has been read to judge.
    bool feed(const char* data, std::size_t size);
    // Empty when the answer is a multipart JPEG stream, else what it is instead, for a message:
    // "a single JPEG picture, not a stream of them".
    std::string fault() const;

private:
    // The header lines of the first part, once they arrived whole; nothing before.
    std::optional<std::string_view> partHeaders() const;

    std::string m_contentType;
    std::string m_head;
};

} // namespace velkor
