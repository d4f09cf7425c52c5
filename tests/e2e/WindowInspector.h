#pragma once

#include <xcb/xcb.h>

#include <QRect>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Looks at top-level windows the way a window manager and a task bar see them, through an X
// connection of the test's own, and asks the window manager for what a task bar would.
class WindowInspector
{
public:
    WindowInspector();
    ~WindowInspector();
    WindowInspector(const WindowInspector&) = delete;
    WindowInspector& operator=(const WindowInspector&) = delete;

    [[nodiscard]] bool usable() const;

    // The names of the atoms an atom-list property holds (_NET_WM_WINDOW_TYPE and the like).
    [[nodiscard]] std::vector<std::string> atomNames(std::uint32_t window,
                                                     const std::string& property);
    // A property of 32-bit items, whatever its type; empty when the window has none.
    [[nodiscard]] std::vector<std::uint32_t> items(std::uint32_t window,
                                                   const std::string& property);
    [[nodiscard]] std::optional<std::uint32_t> transientFor(std::uint32_t window);
    // The window's place and size on the screen with the window manager's frame around it.
    [[nodiscard]] std::optional<QRect> outerGeometry(std::uint32_t window);
    [[nodiscard]] bool viewable(std::uint32_t window);
    // WM_STATE: 1 normal, 3 iconic; 0 when the window manager has set none.
    [[nodiscard]] std::uint32_t wmState(std::uint32_t window);

    // What a window manager does once it has framed the window: announce the frame's left, right,
    // top and bottom widths in _NET_FRAME_EXTENTS.
    void announceFrame(std::uint32_t window, const std::vector<std::uint32_t>& extents);

    // What a task bar sends: minimise the window, and bring it back.
    void requestIconic(std::uint32_t window);
    void requestActive(std::uint32_t window);

private:
    std::uint32_t atom(const std::string& name);
    void sendToRoot(std::uint32_t window, const std::string& type,
                    const std::vector<std::uint32_t>& data);

    xcb_connection_t* m_connection;
    std::map<std::string, std::uint32_t> m_atoms;
};
