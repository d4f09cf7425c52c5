#pragma once

struct AVFrame;
struct SwsContext;

namespace velkordevice
{

class YuvImage;

// Copies a full-range picture into a frame in the studio range (16-235) that video decoders
// assume when a stream does not say otherwise, which MPEG-4 Part 2 streams cannot say.
class StudioRangeConverter
{
public:
    StudioRangeConverter(int width, int height);
    ~StudioRangeConverter();
    StudioRangeConverter(const StudioRangeConverter&) = delete;
    StudioRangeConverter& operator=(const StudioRangeConverter&) = delete;

    bool ready() const { return m_context != nullptr; }
    // `frame` must be an allocated 4:2:0 frame of the same size.
    bool convert(const YuvImage& image, AVFrame& frame);

private:
    int m_width;
    int m_height;
    SwsContext* m_context;
};

} // namespace velkordevice
