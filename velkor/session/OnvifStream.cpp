#include "velkor/session/OnvifStream.h"

#include "common/AsciiText.h"
#include "velkor/camera/CameraUrl.h"
#include "velkor/native/LiveStream.h"
#include "velkor/onvif/OnvifCamera.h"
#include "velkor/report/LiveObserver.h"
#include "velkor/report/ResultCode.h"
#include "velkor/session/VelkorDevice.h"

namespace velkor
{

OnvifStream::OnvifStream(PictureSink& output, std::unique_ptr<LiveObserver> observer,
                         std::shared_ptr<OnvifCamera> camera, CameraStream::Credentials credentials,
                         CameraStream::FormatHook onFormat)
    : m_output(output), m_observer(std::move(observer)), m_camera(std::move(camera)),
      m_credentials(std::move(credentials)), m_onFormat(std::move(onFormat))
{
}

OnvifStream::~OnvifStream()
{
    stop();
}

void OnvifStream::start(int32_t channel, StreamChoice /*choice*/)
{
    begin(channel, false);
}

void OnvifStream::startAgain(int32_t channel, StreamChoice /*choice*/)
{
    begin(channel, true);
}

void OnvifStream::begin(int32_t channel, bool again)
{
    stop();
    std::lock_guard lock(m_mutex);
    if (m_source)
    {
        // Once the stream URI is known; a source plays one channel for its whole life.
        const StreamChoice choice{m_codec, 0};
        again ? m_source->startAgain(channel, choice) : m_source->start(channel, choice);
        return;
    }
    // The question goes on this thread rather than the caller's, which holds live play's lock:
    // a stop must not wait for a camera that is slow to answer it.
    m_asking = true;
    m_asker = std::jthread([this, channel, again](const std::stop_token& stop)
                           { ask(channel, again, stop); });
}

void OnvifStream::ask(int32_t channel, bool again, const std::stop_token& stop)
{
    const OnvifStreamUri uri = m_camera->streamUri(channel, stop);
    std::lock_guard lock(m_mutex);
    std::string why;
    if (stop.stop_requested())
    {
        m_observer->onEnded(Ok, {});
    }
    else if (uri.code != Ok)
    {
        // A camera that did not answer may come back; one that refused will not change its mind.
        const bool away = uri.code == DeviceUnreachable || uri.code == DeviceTimedOut;
        m_observer->onEnded(away ? StreamLost : StreamRefused, uri.description);
    }
    else if ((m_source = sourceFor(uri.uri, why)))
    {
        m_codec = uri.codec;
        m_onFormat(uri.codec);
        const StreamChoice choice{uri.codec, 0};
        again ? m_source->startAgain(channel, choice) : m_source->start(channel, choice);
    }
    else
    {
        m_observer->onEnded(StreamRefused, why);
    }
    m_asking = false;
}

std::unique_ptr<StreamSource> OnvifStream::sourceFor(const std::string& uri, std::string& why)
{
    if (common::AsciiText::startsWithNoCase(uri, "http://") ||
        common::AsciiText::startsWithNoCase(uri, "https://"))
    {
        HttpRequest request;
        request.url = uri;
        request.userName = m_credentials.userName;
        request.password = m_credentials.password;
        request.totalTimeoutMs = 0;
        request.stallTimeoutMs = VelkorDevice::kLiveSilence.count();
        return std::make_unique<LiveStream>(m_output, std::move(m_observer), std::move(request),
                                            LiveStream::Target::WholeUrl);
    }
    std::string refusal;
    auto url = CameraUrl::parse(uri, refusal);
    if (!url)
    {
        // The URI is not repeated: a camera may have put credentials into it.
        why = m_camera->name() + " named a stream URI that the library does not play: " + refusal;
        return nullptr;
    }
    return std::make_unique<CameraStream>(m_output, std::move(m_observer), std::move(*url),
                                          m_credentials, m_onFormat);
}

void OnvifStream::stop()
{
    m_asker.request_stop();
    if (m_asker.joinable())
    {
        m_asker.join();
    }
    std::lock_guard lock(m_mutex);
    if (m_source)
    {
        m_source->stop();
    }
}

bool OnvifStream::running() const
{
    std::lock_guard lock(m_mutex);
    return m_asking || (m_source && m_source->running());
}

} // namespace velkor
