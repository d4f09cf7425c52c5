#pragma once

#include "device/PictureEncoder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velkordevice
{

class YuvImage;

// TurboJPEG compressor for 4:2:0 planes; one instance per thread. Every picture is a keyframe.
class JpegEncoder : public PictureEncoder
{
public:
    explicit JpegEncoder(int quality = 80);
    ~JpegEncoder() override;
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;

    bool encode(const YuvImage& image, std::vector<unsigned char>& jpeg);
    bool encode(const YuvImage& image, std::uint64_t pictureNumber, bool forceKeyframe,
                std::vector<unsigned char>& out, bool& keyframe) override;
    std::string lastError() const override { return m_error; }

private:
    void* m_handle;
    int m_quality;
    std::vector<unsigned char> m_buffer;
    std::string m_error;
};

} // namespace velkordevice
