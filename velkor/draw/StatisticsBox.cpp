#include "velkor/draw/StatisticsBox.h"

#include <cairo.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace velkor
{
namespace
{

constexpr double kFontSize = 13.0;
constexpr double kLineHeight = 17.0;
constexpr double kBackgroundAlpha = 0.72;

} // namespace

StatisticsBox::~StatisticsBox()
{
    forget();
}

void StatisticsBox::forget()
{
    if (m_box != nullptr)
    {
        cairo_surface_destroy(m_box);
        m_box = nullptr;
    }
}

bool StatisticsBox::render(const std::vector<std::string>& lines)
{
    forget();
    // Measured on a scratch surface first: the box is as wide as its longest line.
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* measure = cairo_create(scratch);
    cairo_select_font_face(measure, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(measure, kFontSize);
    double widest = 0;
    for (const std::string& line : lines)
    {
        cairo_text_extents_t extents{};
        cairo_text_extents(measure, line.c_str(), &extents);
        widest = std::max(widest, extents.x_advance);
    }
    cairo_font_extents_t font{};
    cairo_font_extents(measure, &font);
    cairo_destroy(measure);
    cairo_surface_destroy(scratch);

    const int width = static_cast<int>(std::ceil(widest)) + 2 * kPadding;
    const int height =
        static_cast<int>(std::ceil(kLineHeight * static_cast<double>(lines.size()))) + 2 * kPadding;
    m_box = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(m_box) != CAIRO_STATUS_SUCCESS)
    {
        forget();
        return false;
    }
    cairo_t* cairo = cairo_create(m_box);
    cairo_set_source_rgba(cairo, 0, 0, 0, kBackgroundAlpha);
    cairo_paint(cairo);
    cairo_select_font_face(cairo, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cairo, kFontSize);
    cairo_set_source_rgb(cairo, 0.95, 0.95, 0.95);
    double baseline = kPadding + font.ascent;
    for (const std::string& line : lines)
    {
        cairo_move_to(cairo, kPadding, baseline);
        cairo_show_text(cairo, line.c_str());
        baseline += kLineHeight;
    }
    cairo_destroy(cairo);
    cairo_surface_flush(m_box);
    return true;
}

void StatisticsBox::paintOver(const DrawTarget& target) const
{
    if (m_box == nullptr || target.pixels == nullptr)
    {
        return;
    }
    const PictureArea& area = target.visible;
    // Straight through pixman, which cairo draws with: a cairo context a picture costs more than
    // the blend itself. The target's B, G, R, X is pixman's x8r8g8b8 on a little-endian host.
    pixman_image_t* destination = pixman_image_create_bits_no_clear(
        PIXMAN_x8r8g8b8, area.width, area.height, reinterpret_cast<std::uint32_t*>(target.pixels),
        static_cast<int>(target.stride));
    pixman_image_t* box = pixman_image_create_bits_no_clear(
        PIXMAN_a8r8g8b8, cairo_image_surface_get_width(m_box),
        cairo_image_surface_get_height(m_box),
        reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(m_box)),
        cairo_image_surface_get_stride(m_box));
    if (destination != nullptr && box != nullptr)
    {
        pixman_image_composite32(PIXMAN_OP_OVER, box, nullptr, destination, 0, 0, 0, 0,
                                 kMargin - area.x, kMargin - area.y,
                                 cairo_image_surface_get_width(m_box),
                                 cairo_image_surface_get_height(m_box));
    }
    if (box != nullptr)
    {
        pixman_image_unref(box);
    }
    if (destination != nullptr)
    {
        pixman_image_unref(destination);
    }
}

} // namespace velkor
