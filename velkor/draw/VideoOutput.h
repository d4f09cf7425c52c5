#pragma once

#include "velkor/decode/Frame.h"
#include "velkor/draw/DrawTarget.h"
#include "velkor/draw/EmbeddedWindow.h"
#include "velkor/draw/ImageUpload.h"
#include "velkor/draw/PictureScaler.h"
#include "velkor/draw/WindowPosition.h"
#include "velkor/draw/XConnection.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace velkor
{

class StatisticsBox;

// Draws pictures into an X11 window through a connection of the library's own, scaled to the
// window's size of the moment, each keeping its shape inside the window with black bars beside or
// above and below it, as players do. It draws into the child window of an EmbeddedWindow. A part
// of the window that another window uncovers shows the last picture again, or black after clear(),
// once redraw() is called.
// Only the part of the window on its screen is drawn, so the memory and time a picture takes stay
// within the screen's size however large the window. xcb reports errors per request, so a window
// that is no window or disappears only ends drawing into it. Without a display it accepts a window
// and draws nothing. A server that stops answering is given up; drawing connects again, at most
// once a second, for as long as a window is set. Used from one thread; only interrupt() and
// drawnSize() may come from another.
class VideoOutput final
{
public:
    VideoOutput() = default;
    ~VideoOutput();
    VideoOutput(const VideoOutput&) = delete;
    VideoOutput& operator=(const VideoOutput&) = delete;

    // 0 stops drawing. WindowInvalid, keeping the old target, when the server says the id names
    // no window (or one whose pixel layout this library does not draw).
    int32_t setWindow(std::uintptr_t window);
    // Paints the whole window black and waits (within XConnection::kPatience) until the server
    // has done it.
    void clear();
    // False when nothing was drawn. The box, when given, is laid over the scaled picture.
    bool draw(const Frame& picture, const StatisticsBox* box = nullptr);
    // Left clicks into the window heard since the last call; reads the events that came meanwhile.
    int takeClicks();
    // Whether part of the window was uncovered or it grew since the last call, so that what it
    // showed must be drawn again.
    bool takeExposed();
    // Draws the last picture again, or black after clear(); nothing before either.
    void redraw(const StatisticsBox* box);
    // The socket the server's events come in on; -1 without a connection. Events that xcb has
    // read already are not seen there: takeClicks() handles them first.
    int eventSocket();
    // The size of the window pictures were last drawn into; 0 x 0 before the first and without a
    // window.
    PictureSize drawnSize() const;
    // Asks the server for the window's place on its screen, to know the part of it that shows;
    // false when there is nothing to draw into.
    bool measure();
    // As last measured.
    PictureSize windowSize() const { return m_embedded.size(); }
    PictureArea visibleArea() const { return m_visible; }

    // From any thread: gives up the connection now, freeing a drawing call stuck on the server.
    void interrupt() { m_connection.cut(); }

private:
    bool connect();
    bool connected();
    int32_t attach(std::uint32_t window);
    void forgetWindow();
    void drainEvents();
    bool ready();
    std::optional<std::uint8_t> measureWindow();
    void fillBlack(std::uint32_t window);
    void keepShown(const Frame& picture);
    void forgetShown();

    XConnection m_connection;
    EmbeddedWindow m_embedded;
    // What the window shows, for drawing it again when it is uncovered: a reference to the last
    // picture drawn, or black after a clear, or nothing known.
    Frame m_shown;
    bool m_blank = false;
    PictureArea m_visible;
    WindowPosition m_position;
    std::chrono::steady_clock::time_point m_nextConnect{};
    ImageUpload m_upload;
    PictureScaler m_scaler;
    std::atomic<int> m_drawnWidth{0};
    std::atomic<int> m_drawnHeight{0};
};

} // namespace velkor
