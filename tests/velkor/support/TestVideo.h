#pragma once

#include <string>
#include <vector>

namespace velkortest
{

struct AccessUnit
{
    std::string bytes;
    bool keyframe = false;
};

// `frames` pictures of the emulator's moving test pattern at `width` (and its height, 3/4 of
// it), encoded by the emulator's own encoders: one access unit per picture, no B-frames, a
// keyframe (with its parameter sets) every `keyframeInterval` frames. `format` is the protocol's
// name: jpeg, mpeg4, h264 or h265. Empty when the encoder is missing.
std::vector<AccessUnit> encodeTestVideo(const std::string& format, int width, int frames,
                                        int keyframeInterval);

// The Content-Type of a part in this format.
std::string contentTypeOf(const std::string& format);

} // namespace velkortest
