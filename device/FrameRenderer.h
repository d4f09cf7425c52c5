#pragma once

#include "device/EncodedFrame.h"
#include "device/PictureEncoder.h"
#include "device/StreamKey.h"
#include "device/TestPattern.h"

#include <chrono>
#include <memory>
#include <string>

namespace velkordevice
{

// Draws and encodes one stream's pictures: one channel, one format, one width.
class FrameRenderer
{
public:
    FrameRenderer(int channel, StreamKey key, int fps);

    // Whether the encoder could be set up; if not, error() says why.
    bool ready() const { return m_ready; }
    std::string error() const;
    // nullptr if encoding failed.
    std::shared_ptr<const EncodedFrame> render(std::uint64_t frameNumber,
                                               std::chrono::system_clock::time_point when,
                                               bool forceKeyframe = false);
    static std::string caption(int channel, std::uint64_t frameNumber,
                               std::chrono::system_clock::time_point when, int width, int height);

private:
    int m_channel;
    int m_width;
    int m_height;
    TestPattern m_pattern;
    std::unique_ptr<PictureEncoder> m_encoder;
    bool m_ready = true;
};

} // namespace velkordevice
