#pragma once

#include <string_view>
#include <vector>

// A dialog layout as data: what a resource compiler would have produced. Positions and sizes are
// dialog units, relative to the dialog's font.
enum class ControlKind
{
    Edit,
    PushButton,
    DropDownList,
    StaticFrame,
    GroupBox,
    Label,
};

namespace ControlStyle
{
inline constexpr unsigned kTabStop = 1U << 0;
inline constexpr unsigned kBorder = 1U << 1;
inline constexpr unsigned kAutoHScroll = 1U << 2;
inline constexpr unsigned kReadOnly = 1U << 3;
inline constexpr unsigned kMultiLine = 1U << 4;
inline constexpr unsigned kVScroll = 1U << 5;
inline constexpr unsigned kHScroll = 1U << 6;
inline constexpr unsigned kSort = 1U << 7;
inline constexpr unsigned kNoIntegralHeight = 1U << 8;
inline constexpr unsigned kWantReturn = 1U << 9;
} // namespace ControlStyle

// The window's own frame; by default a dialog has a title, a system menu and a close box only.
namespace WindowStyle
{
inline constexpr unsigned kMinimizeBox = 1U << 0;
inline constexpr unsigned kMaximizeBox = 1U << 1;
// A window of its own on the task bar, not one that belongs to another window.
inline constexpr unsigned kAppWindow = 1U << 2;
} // namespace WindowStyle

inline constexpr int kNoControlId = -1;

struct ControlTemplate
{
    int id;
    ControlKind kind;
    std::string_view text;
    int x;
    int y;
    int width;
    int height;
    unsigned style;
};

struct InitialItem
{
    int controlId;
    std::string_view text;
};

struct DialogTemplate
{
    int id;
    std::string_view title;
    int width;
    int height;
    std::string_view fontFamily;
    int fontPointSize;
    std::vector<ControlTemplate> controls; // in tab order
    std::vector<InitialItem> initialItems;
    unsigned windowStyle = 0;
};
