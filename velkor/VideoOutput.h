#pragma once

#include "velkor/PictureScaler.h"
#include "velkor/PictureSink.h"
#include "velkor/ShmSegment.h"
#include "velkor/XConnection.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

namespace velkor
{

// Draws frames into an X11 window through a connection of the library's own, scaled to the
// window's size of the moment. xcb reports errors per request, so a window that is no window or
// disappears only ends drawing into it. Without a display it accepts a window and draws nothing.
// A server that stops answering is given up; drawing connects again, at most once a second, for
// as long as a window is set. Used from one thread; only interrupt() and drawnSize() may come from
// another.
class VideoOutput final : public PictureSink
{
public:
    VideoOutput() = default;
    ~VideoOutput() override;
    VideoOutput(const VideoOutput&) = delete;
    VideoOutput& operator=(const VideoOutput&) = delete;

    // 0 stops drawing. WindowInvalid, keeping the old target, when the server says the id names
    // no window (or one whose pixel layout this library does not draw).
    int32_t setWindow(std::uintptr_t window);
    // Paints the whole window black and waits (within XConnection::kPatience) until the server
    // has done it.
    void clear();
    // False when nothing was drawn.
    bool present(const PlanarImage& image) override;
    PictureSize drawnSize() const override;
    bool hasWindow() const { return m_window != 0 && !m_windowLost; }
    // The window's size when it was last asked for; 0 x 0 before that.
    int windowWidth() const { return m_windowWidth; }
    int windowHeight() const { return m_windowHeight; }

    // From any thread: gives up the connection now, freeing a drawing call stuck on the server.
    void interrupt() { m_connection.cut(); }

private:
    bool connect();
    bool connected();
    int32_t attach(std::uint32_t window);
    void forgetWindow();
    void drainErrors();
    bool depthDrawable(std::uint8_t depth) const;
    void putImage(const std::uint8_t* pixels, int width, int height, std::uint8_t depth);

    XConnection m_connection;
    std::vector<std::uint8_t> m_drawableDepths;
    bool m_littleEndian = false;
    bool m_shmUsable = false;
    std::uint32_t m_window = 0;
    std::uint32_t m_gc = 0;
    bool m_windowLost = false;
    int m_windowWidth = 0;
    int m_windowHeight = 0;
    std::chrono::steady_clock::time_point m_nextConnect{};
    ShmSegment m_shm;
    PictureScaler m_scaler;
    std::vector<std::uint8_t> m_staging;
    std::atomic<int> m_drawnWidth{0};
    std::atomic<int> m_drawnHeight{0};
};

} // namespace velkor
