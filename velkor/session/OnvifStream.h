#pragma once

#include "velkor/camera/CameraStream.h"
#include "velkor/live/StreamSource.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

namespace velkor
{

class LiveObserver;
class OnvifCamera;
class PictureSink;

// An ONVIF camera's live video: the stream URI of the channel's profile, asked on a thread of its
// own (GetStreamUri, once a channel), then played by the source that reads such a URI: an rtsp://
// URI as a standard camera's stream (CameraStream, libavformat), an http:// or https:// URI as a
// multipart stream whose parts are decoded by their Content-Type (LiveStream), both with the
// camera's user name and password.
class OnvifStream final : public StreamSource
{
public:
    OnvifStream(PictureSink& output, std::unique_ptr<LiveObserver> observer,
                std::shared_ptr<OnvifCamera> camera, CameraStream::Credentials credentials,
                CameraStream::FormatHook onFormat);
    ~OnvifStream() override;
    OnvifStream(const OnvifStream&) = delete;
    OnvifStream& operator=(const OnvifStream&) = delete;

    void start(int32_t channel, StreamChoice choice) override;
    void startAgain(int32_t channel, StreamChoice choice) override;
    // Nothing to ask for: the camera decides.
    void retune(StreamChoice /*choice*/) override {}
    void stop() override;
    bool running() const override;

private:
    void begin(int32_t channel, bool again);
    void ask(int32_t channel, bool again, const std::stop_token& stop);
    // The source that plays `uri`, the observer handed to it; null (and the observer kept) when
    // the library plays no such URI, `why` then says so.
    std::unique_ptr<StreamSource> sourceFor(const std::string& uri, std::string& why);

    PictureSink& m_output;
    // Ours until the source that plays the stream takes it.
    std::unique_ptr<LiveObserver> m_observer;
    const std::shared_ptr<OnvifCamera> m_camera;
    const CameraStream::Credentials m_credentials;
    const CameraStream::FormatHook m_onFormat;

    mutable std::mutex m_mutex;
    std::unique_ptr<StreamSource> m_source;
    // What the channel's profile sends, for parts that do not say.
    VideoCodec m_codec = VideoCodec::Jpeg;
    std::atomic<bool> m_asking{false};
    std::jthread m_asker;
};

} // namespace velkor
