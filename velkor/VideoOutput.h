#pragma once

#include "PictureScaler.h"
#include "PictureSink.h"
#include "ShmSegment.h"

#include <xcb/xcb.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace velkor
{

// Draws frames into an X11 window through a connection of the library's own, scaled to the
// window's size of the moment. xcb reports errors per request, so a window that is no window or
// disappears only ends drawing into it. Without a display it accepts a window and draws nothing.
// Safe to use from any thread.
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
    // Paints the whole window black and waits until the server has done it.
    void clear();
    bool present(const PlanarImage& image) override;
    PictureSize drawnSize() const override;

private:
    bool connectLocked();
    void disconnectLocked();
    void forgetWindowLocked();
    void drainErrorsLocked();
    bool depthDrawableLocked(std::uint8_t depth) const;
    void putImageLocked(const std::uint8_t* pixels, int width, int height, std::uint8_t depth);

    std::mutex m_mutex;
    xcb_connection_t* m_connection = nullptr;
    std::vector<std::uint8_t> m_drawableDepths;
    bool m_littleEndian = false;
    bool m_shmUsable = false;
    std::uint32_t m_window = 0;
    std::uint32_t m_gc = 0;
    bool m_windowLost = false;
    ShmSegment m_shm;
    PictureScaler m_scaler;
    std::vector<std::uint8_t> m_staging;
    std::atomic<int> m_drawnWidth{0};
    std::atomic<int> m_drawnHeight{0};
};

} // namespace velkor
