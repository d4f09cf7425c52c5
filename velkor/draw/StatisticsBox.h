#pragma once

#include "velkor/draw/DrawTarget.h"

#include <cairo.h>

#include <string>
#include <vector>

namespace velkor
{

// The statistics over the picture: lines of text in a dark, half-transparent box at the window's
// top left. The text is laid out once per render(); each picture then only has the finished box
// laid over it.
class StatisticsBox
{
public:
    // From the window's top left corner.
    static constexpr int kMargin = 8;
    static constexpr int kPadding = 6;

    StatisticsBox() = default;
    ~StatisticsBox();
    StatisticsBox(const StatisticsBox&) = delete;
    StatisticsBox& operator=(const StatisticsBox&) = delete;

    // False when cairo has no memory for the box.
    bool render(const std::vector<std::string>& lines);
    bool rendered() const { return m_box != nullptr; }
    void forget();
    // Over the part of the window the target holds.
    void paintOver(const DrawTarget& target) const;

private:
    cairo_surface_t* m_box = nullptr;
};

} // namespace velkor
