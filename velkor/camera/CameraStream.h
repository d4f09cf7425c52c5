#pragma once

#include "velkor/camera/CameraReader.h"
#include "velkor/camera/CameraUrl.h"
#include "velkor/live/StreamSource.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>

namespace velkor
{

class LiveObserver;
class PictureSink;

// A standard camera's live video: its stream read on a thread of its own (CameraReader), every
// packet through LivePictures into the output as a device's are, and the outcome reported to the
// observer. The camera decides the format and size: a stream choice is not asked for, and a
// camera that comes back sending another plays as it now is.
class CameraStream final : public StreamSource
{
public:
    struct Credentials
    {
        std::string userName;
        std::string password;
    };
    // Told the format the camera sends, each time the stream opens.
    using FormatHook = std::function<void(VideoCodec)>;

    // A camera that turns the stream away at the start (refuses the connection, or answers that
    // it is busy) is asked again for this long: one that serves a single connection (as ffmpeg
    // does) refuses while it starts again after the question of Open or of the bringing back of
    // play, and GStreamer's RTSP server is busy while it ends the stream that question began.
    static constexpr std::chrono::milliseconds kTurnedAwayPatience{2000};

    CameraStream(PictureSink& output, std::unique_ptr<LiveObserver> observer, CameraUrl url,
                 Credentials credentials, FormatHook onFormat);
    ~CameraStream() override;
    CameraStream(const CameraStream&) = delete;
    CameraStream& operator=(const CameraStream&) = delete;

    void start(int32_t channel, StreamChoice choice) override;
    // One question: no patience with a camera that turns the stream away.
    void startAgain(int32_t channel, StreamChoice choice) override;
    // Nothing to ask for: the camera decides.
    void retune(StreamChoice /*choice*/) override {}
    void stop() override;
    bool running() const override { return m_running; }

private:
    void run(int32_t channel, const std::stop_token& stop);
    // Opens the stream; Packet when it plays.
    CameraReader::Result open(CameraReader& reader, const std::string& url,
                              const std::stop_token& stop);
    // Shows the stream's pictures until it ends; how it ended.
    CameraReader::Result play(CameraReader& reader);
    void reportEnd(CameraReader::Result result, const CameraReader& reader, int32_t channel);

    PictureSink& m_output;
    std::unique_ptr<LiveObserver> m_observer;
    const CameraUrl m_url;
    const Credentials m_credentials;
    const FormatHook m_onFormat;
    std::chrono::milliseconds m_patience = kTurnedAwayPatience;

    std::atomic<bool> m_running{false};
    std::jthread m_thread;
};

} // namespace velkor
