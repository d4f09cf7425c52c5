#pragma once

#include "velkor/PlanarImage.h"

namespace velkor
{

struct PictureSize
{
    int width = 0;
    int height = 0;
};

// Where live pictures go: the video window, or a test's recorder.
class PictureSink
{
public:
    virtual ~PictureSink() = default;
    // False when nothing was drawn.
    virtual bool present(const PlanarImage& image) = 0;
    // The size pictures were last drawn at; 0 x 0 before the first and without a window. A
    // decoder that can decode at reduced size uses it to do less work.
    virtual PictureSize drawnSize() const = 0;

protected:
    PictureSink() = default;
    PictureSink(const PictureSink&) = default;
    PictureSink& operator=(const PictureSink&) = default;
};

} // namespace velkor
