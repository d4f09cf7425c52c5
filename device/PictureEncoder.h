#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velkordevice
{

class YuvImage;

// Turns the pictures of one stream, in order, into access units.
class PictureEncoder
{
public:
    virtual ~PictureEncoder() = default;

    // One access unit for `image`; false on failure (see lastError()). `pictureNumber` only
    // increases; gaps mean pictures were left out. `forceKeyframe` asks for a keyframe now.
    virtual bool encode(const YuvImage& image, std::uint64_t pictureNumber, bool forceKeyframe,
                        std::vector<unsigned char>& out, bool& keyframe) = 0;
    virtual std::string lastError() const = 0;
};

} // namespace velkordevice
