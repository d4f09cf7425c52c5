#pragma once

#include <xcb/xcb.h>

#include <QPoint>
#include <cstdint>
#include <optional>
#include <vector>

// The mouse pointer as the X server shows it (through XFixes), and where it is, on an X connection
// of the test's own: it answers while the toolkit's thread is held in a call.
class ShownCursor
{
public:
    struct Picture
    {
        std::uint16_t width = 0;
        std::uint16_t height = 0;
        std::uint16_t hotX = 0;
        std::uint16_t hotY = 0;
        std::vector<std::uint32_t> pixels;
        bool operator==(const Picture&) const = default;
    };

    ShownCursor();
    ~ShownCursor();
    ShownCursor(const ShownCursor&) = delete;
    ShownCursor& operator=(const ShownCursor&) = delete;

    [[nodiscard]] bool usable() const;
    void moveTo(QPoint onScreen);
    [[nodiscard]] std::optional<Picture> picture();

private:
    xcb_connection_t* m_connection;
    bool m_xfixes = false;
};
