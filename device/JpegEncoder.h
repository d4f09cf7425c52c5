#pragma once

#include <string>
#include <vector>

namespace velkordevice
{

class YuvImage;

// TurboJPEG compressor for 4:2:0 planes; one instance per thread.
class JpegEncoder
{
public:
    explicit JpegEncoder(int quality = 80);
    ~JpegEncoder();
    JpegEncoder(const JpegEncoder&) = delete;
    JpegEncoder& operator=(const JpegEncoder&) = delete;

    bool encode(const YuvImage& image, std::vector<unsigned char>& jpeg);
    const std::string& lastError() const { return m_error; }

private:
    void* m_handle;
    int m_quality;
    std::vector<unsigned char> m_buffer;
    std::string m_error;
};

} // namespace velkordevice
