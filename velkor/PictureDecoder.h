#pragma once

#include "velkor/PictureSink.h"
#include "velkor/PlanarImage.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace velkor
{

// Turns the encoded pictures of one stream format into planar images, one picture per call.
class PictureDecoder
{
public:
    virtual ~PictureDecoder() = default;

    // False, with error() saying why, for a picture that cannot be decoded. When `fit` is not
    // 0 x 0 the decoder may give out a smaller image that still covers it.
    virtual bool decode(const std::uint8_t* data, std::size_t size, PictureSize fit) = 0;
    // The last picture decoded, valid until the next call.
    virtual const PlanarImage& image() const = 0;
    // Its size as encoded, which the image may be smaller than.
    virtual PictureSize pictureSize() const = 0;
    // Whether the last picture depends on no earlier one.
    virtual bool keyframe() const = 0;
    // Forgets earlier pictures, for a stream that starts afresh.
    virtual void reset() = 0;
    virtual const std::string& error() const = 0;

protected:
    PictureDecoder() = default;
    PictureDecoder(const PictureDecoder&) = default;
    PictureDecoder& operator=(const PictureDecoder&) = default;
};

} // namespace velkor
