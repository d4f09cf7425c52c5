#pragma once

extern "C"
{
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

#include <cstdint>
#include <optional>

namespace velkor
{

struct PictureSize
{
    int width = 0;
    int height = 0;

    bool operator==(const PictureSize&) const = default;
};

// A picture held by reference: an AVFrame whose planes are reference-counted buffers, so handing
// it on moves a reference and copies no pixels. A decoder's pictures, the no-signal picture and
// the converted pictures the scaler keeps are all Frames.
class Frame
{
public:
    // Throws std::bad_alloc when libavutil has no memory for the frame itself.
    Frame();
    ~Frame();
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    AVFrame* get() const { return m_frame; }
    AVFrame* operator->() const { return m_frame; }
    bool empty() const { return m_frame->data[0] == nullptr; }
    PictureSize size() const { return {m_frame->width, m_frame->height}; }

    // Planes for a picture of this layout and size, reusing the current ones when no one else
    // holds them and they fit; false, and the frame empty, when memory runs out.
    bool allocate(AVPixelFormat format, int width, int height);
    // Takes the picture `other` holds, leaving it empty.
    void take(Frame& other);
    void swap(Frame& other) noexcept;
    // Lets go of the picture; the frame itself stays for the next.
    void reset();

    // When the device took or finished the picture, microseconds since the Unix epoch.
    std::optional<std::int64_t> capturedAt() const { return m_capturedAt; }
    void setCapturedAt(std::optional<std::int64_t> timestamp) { m_capturedAt = timestamp; }
    // Black in place of a picture none of which could be decoded, so that the window has
    // something to lay the statistics over; never counted as drawn.
    bool placeholder() const { return m_placeholder; }
    void setPlaceholder(bool placeholder) { m_placeholder = placeholder; }

private:
    AVFrame* m_frame;
    std::optional<std::int64_t> m_capturedAt;
    bool m_placeholder = false;
};

} // namespace velkor
