#include "velkor/decode/Frame.h"

#include <new>
#include <utility>

namespace velkor
{

Frame::Frame() : m_frame(av_frame_alloc())
{
    if (m_frame == nullptr)
    {
        throw std::bad_alloc();
    }
}

Frame::~Frame()
{
    av_frame_free(&m_frame);
}

bool Frame::allocate(AVPixelFormat format, int width, int height)
{
    const bool fits = !empty() && m_frame->format == format && m_frame->width == width &&
                      m_frame->height == height && av_frame_is_writable(m_frame) != 0;
    if (fits)
    {
        return true;
    }
    reset();
    m_frame->format = format;
    m_frame->width = width;
    m_frame->height = height;
    if (av_frame_get_buffer(m_frame, 0) < 0)
    {
        reset();
        return false;
    }
    return true;
}

void Frame::take(Frame& other)
{
    reset();
    av_frame_move_ref(m_frame, other.m_frame);
    m_capturedAt = other.m_capturedAt;
    m_placeholder = other.m_placeholder;
    other.m_capturedAt.reset();
    other.m_placeholder = false;
}

void Frame::swap(Frame& other) noexcept
{
    std::swap(m_frame, other.m_frame);
    std::swap(m_capturedAt, other.m_capturedAt);
    std::swap(m_placeholder, other.m_placeholder);
}

void Frame::reset()
{
    av_frame_unref(m_frame);
    m_capturedAt.reset();
    m_placeholder = false;
}

} // namespace velkor
