#pragma once

#include "velkor/decode/Frame.h"

extern "C"
{
#include <libavcodec/packet.h>
}

#include <string>

namespace velkor
{

// Turns the encoded pictures of one stream format into Frames, one picture per call. An encoded
// picture is an AVPacket as libavformat gives it out or as the multipart parser builds it: data
// followed by AV_INPUT_BUFFER_PADDING_SIZE zero bytes, best reference-counted, so that libavcodec
// takes a reference rather than a copy.
class PictureDecoder
{
public:
    virtual ~PictureDecoder() = default;

    // False, with error() saying why, for a picture that cannot be decoded. When `fit` is not
    // 0 x 0 the decoder may give out a smaller picture that still covers it.
    virtual bool decode(const AVPacket& packet, PictureSize fit) = 0;
    // The last picture decoded, for the caller to take; empty once taken.
    virtual Frame& picture() = 0;
    // Its size as encoded, which the picture may be smaller than.
    virtual PictureSize pictureSize() const = 0;
    // Whether the last picture depends on no earlier one.
    virtual bool keyframe() const = 0;
    // Forgets earlier pictures, for a stream that starts afresh.
    virtual void reset() = 0;
    virtual const std::string& error() const = 0;
    // How many pictures the last call decoded before the one it gives out, which that one
    // replaced: a packet may hold more than one.
    virtual int replacedPictures() const { return 0; }
    // The profile the stream says it uses ("High"), empty when it says none.
    virtual std::string profile() const { return {}; }
    // Whether the last picture was damaged, and the decoder made up what it lost.
    virtual bool concealed() const { return false; }

protected:
    PictureDecoder() = default;
    PictureDecoder(const PictureDecoder&) = default;
    PictureDecoder& operator=(const PictureDecoder&) = default;
};

} // namespace velkor
