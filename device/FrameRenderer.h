#pragma once

#include "device/EncodedFrame.h"
#include "device/PictureEncoder.h"
#include "device/StreamKey.h"
#include "device/TestPattern.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

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
    // Picture `index` of a loop of `length` encoded ahead of time, sent as frame `frameNumber`.
    std::shared_ptr<const EncodedFrame> renderLoopPicture(std::uint64_t frameNumber,
                                                          std::size_t index, std::size_t length,
                                                          bool forceKeyframe);
    static std::string caption(int channel, std::uint64_t frameNumber,
                               std::chrono::system_clock::time_point when, int width, int height);
    static std::string loopCaption(int channel, std::size_t index, std::size_t length, int width,
                                   int height);

private:
    std::shared_ptr<const EncodedFrame> encode(std::uint64_t frameNumber, std::uint64_t motion,
                                               std::string_view caption, bool forceKeyframe);

    int m_channel;
    int m_width;
    int m_height;
    TestPattern m_pattern;
    std::unique_ptr<PictureEncoder> m_encoder;
    bool m_ready = true;
};

} // namespace velkordevice
