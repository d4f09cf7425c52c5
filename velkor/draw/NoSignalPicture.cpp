#include "velkor/draw/NoSignalPicture.h"

#include <cairo.h>

#include <algorithm>
#include <cstdio>

namespace velkor
{
namespace
{

void showCentred(cairo_t* cairo, const std::string& text, double centreX, double baseline)
{
    cairo_text_extents_t extents{};
    cairo_text_extents(cairo, text.c_str(), &extents);
    cairo_move_to(cairo, centreX - extents.width / 2 - extents.x_bearing, baseline);
    cairo_show_text(cairo, text.c_str());
}

} // namespace

bool NoSignalPicture::render(Frame& frame, PictureSize pictureSize, std::chrono::seconds lost)
{
    const int width = std::max(pictureSize.width, 1);
    const int height = std::max(pictureSize.height, 1);
    // Cairo's RGB24 is a native 32-bit 0x00RRGGBB: on a little-endian host, B, G, R, X.
    if (!frame.allocate(AV_PIX_FMT_BGR0, width, height))
    {
        return false;
    }
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        frame->data[0], CAIRO_FORMAT_RGB24, width, height, frame->linesize[0]);
    cairo_t* cairo = cairo_create(surface);

    const auto channel = [](std::uint32_t colour, int shift)
    { return static_cast<double>((colour >> shift) & 0xFF) / 255.0; };
    cairo_set_source_rgb(cairo, channel(kBackground, 16), channel(kBackground, 8),
                         channel(kBackground, 0));
    cairo_paint(cairo);

    const double size = std::min(width / 9.0, height / 6.0);
    cairo_select_font_face(cairo, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cairo, size);
    cairo_set_source_rgb(cairo, 0.92, 0.92, 0.92);
    showCentred(cairo, "NO SIGNAL", width / 2.0, height / 2.0);

    cairo_select_font_face(cairo, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cairo, size * 0.4);
    cairo_set_source_rgb(cairo, 0.75, 0.75, 0.75);
    showCentred(cairo, "lost " + elapsed(lost) + " ago", width / 2.0, height / 2.0 + size * 0.9);

    cairo_destroy(cairo);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
    frame->color_range = AVCOL_RANGE_JPEG;
    return true;
}

PictureSize NoSignalPicture::sizeFor(PictureSize window, PictureArea visible)
{
    const double shrink =
        std::min(1.0, std::max(static_cast<double>(visible.width) / window.width,
                               static_cast<double>(visible.height) / window.height));
    return {std::max(1, static_cast<int>(window.width * shrink)),
            std::max(1, static_cast<int>(window.height * shrink))};
}

std::string NoSignalPicture::elapsed(std::chrono::seconds lost)
{
    const long long total = std::max<long long>(lost.count(), 0);
    char text[32];
    if (total < 3600)
    {
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    }
    else
    {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                      total % 60);
    }
    return text;
}

} // namespace velkor
