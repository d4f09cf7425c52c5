#include "velkor/session/LivePlay.h"

#include "velkor/draw/DrawingThread.h"
#include "velkor/live/StreamSource.h"
#include "velkor/report/EventDispatcher.h"
#include "velkor/report/LiveReporter.h"
#include "velkor/report/PlayCallbacks.h"
#include "velkor/report/ResultCode.h"
#include "velkor/session/DeviceAccess.h"
#include "velkor/session/Session.h"

#include <algorithm>

namespace velkor
{
namespace
{

bool serves(const std::vector<VideoCodec>& formats, VideoCodec codec)
{
    return std::find(formats.begin(), formats.end(), codec) != formats.end();
}

} // namespace

LivePlay::LivePlay(Session& session, std::function<SettingsSnapshot()> settings,
                   EventDispatcher& dispatcher, DrawingThread& drawing, PlayCallbacks& callbacks)
    : m_session(session), m_settings(std::move(settings)), m_dispatcher(dispatcher),
      m_drawing(drawing), m_callbacks(callbacks)
{
}

LivePlay::~LivePlay()
{
    stop();
}

int32_t LivePlay::start(int32_t channel, IAppCallBack* callback)
{
    const auto refuse = [this](int32_t code, std::string description)
    {
        m_dispatcher.postError(code, std::move(description));
        return code;
    };
    if (!m_session.usable())
    {
        return refuse(NotOpen, "no session with a device: open one before live play");
    }
    const DeviceInfo info = m_session.info();
    const std::shared_ptr<const DeviceAccess> device = m_session.device();
    if (channel < 1 || channel > info.channels)
    {
        return refuse(ChannelUnknown, device->channelRefusal(channel, info));
    }
    const SettingsSnapshot settings = m_settings();
    const bool decides = device->decidesStream() && !info.formats.empty();
    const auto codec = decides ? std::optional(info.formats.front())
                               : StreamFormats::fromCode(settings.streamFormat);
    if (!codec || !info.serves(*codec))
    {
        return refuse(FormatNotServed, notServed(settings.streamFormat, info.formats));
    }
    bool streaming = false;
    {
        std::lock_guard lock(m_mutex);
        streaming = sourceRunningLocked();
    }
    if (streaming || m_reconnector.recovering())
    {
        return refuse(AlreadyPlaying, "live play is running already; stop it first");
    }
    stop();
    m_drawing.beginPlay();
    m_callbacks.set(callback);
    m_credentialsRefused = false;
    {
        std::lock_guard lock(m_mutex);
        m_channel = channel;
        m_formats = info.formats;
        // Settings changed since the snapshot above reach the stream through retune, which waits
        // for this lock.
        m_choice = decides ? StreamChoice{*codec, 0} : *choose(m_settings(), m_formats, *codec);
        startSourceLocked();
    }
    m_reconnector.start([this](const std::stop_token& stop) { return restore(stop); });
    return Ok;
}

void LivePlay::stop()
{
    m_reconnector.stop();
    {
        std::lock_guard lock(m_mutex);
        if (m_source)
        {
            m_source->stop();
            m_source.reset();
        }
        m_channel = 0;
    }
    m_callbacks.drop();
    m_drawing.endNoSignal();
    m_drawing.endPlay();
}

void LivePlay::retune(bool formatChanged)
{
    std::lock_guard lock(m_mutex);
    const bool running = sourceRunningLocked();
    // While play waits for a lost device the choice is kept for when it comes back.
    if (!running && !m_reconnector.recovering())
    {
        return;
    }
    const std::shared_ptr<const DeviceAccess> device = m_session.device();
    if (device && device->decidesStream())
    {
        m_dispatcher.postError(FormatNotServed, device->name() +
                                                    " decides its stream format and picture "
                                                    "width; the setting is kept, and live play "
                                                    "goes on as the camera sends");
        return;
    }
    const SettingsSnapshot settings = m_settings();
    const auto wanted = StreamFormats::fromCode(settings.streamFormat);
    if (formatChanged && !(wanted && serves(m_formats, *wanted)))
    {
        // The setting stays, as it would while stopped; the picture stays too, rather than the
        // play ending over a value the user may be passing through.
        m_dispatcher.postError(FormatNotServed,
                               notServed(settings.streamFormat, m_formats) +
                                   "; live play goes on in " +
                                   std::string(StreamFormats::name(m_choice.codec)) + " at " +
                                   std::to_string(m_choice.width));
    }
    if (const auto choice = choose(settings, m_formats, m_choice.codec))
    {
        m_choice = *choice;
    }
    if (running)
    {
        m_source->retune(m_choice);
    }
}

void LivePlay::sessionLost()
{
    m_reconnector.troubled();
}

bool LivePlay::restore(const std::stop_token& stop)
{
    const std::shared_ptr<const DeviceAccess> device = m_session.device();
    if (!device)
    {
        return true;
    }
    // A camera's stream's own opening is the question while its session stands: asking it first
    // would ask twice, and a camera that takes one connection at a time would turn the stream
    // away after the question. A session lost (an ONVIF camera's events) is opened by asking.
    DeviceAnswer answer;
    const bool ask = !device->decidesStream() || !m_session.usable();
    if (ask && !answers(*device, stop, answer))
    {
        return stop.stop_requested();
    }
    std::lock_guard lock(m_mutex);
    if (stop.stop_requested())
    {
        return true;
    }
    if (!m_session.usable())
    {
        m_session.reopen(answer.info);
        m_formats = answer.info.formats;
    }
    if (!sourceRunningLocked())
    {
        restartSourceLocked();
    }
    return true;
}

bool LivePlay::answers(const DeviceAccess& device, const std::stop_token& stop,
                       DeviceAnswer& answer)
{
    // A quiet question first: a device that is still away costs no events.
    answer = device.identify(stop);
    if (stop.stop_requested())
    {
        return false;
    }
    if (answer.code != Ok)
    {
        // Said once: the device is there but will not have us, which waiting alone may not mend.
        if (answer.code == CredentialsRefused && !m_credentialsRefused)
        {
            m_credentialsRefused = true;
            m_dispatcher.postError(CredentialsRefused,
                                   answer.description + "; live play waits and asks again");
        }
        return false;
    }
    m_credentialsRefused = false;
    return true;
}

void LivePlay::restartSourceLocked()
{
    const auto choice = choose(m_settings(), m_formats, m_choice.codec);
    if (!choice)
    {
        m_dispatcher.postError(FormatNotServed,
                               notServed(StreamFormats::code(m_choice.codec), m_formats) +
                                   "; live play ends");
        m_reconnector.giveUp();
        return;
    }
    m_choice = *choice;
    startSourceLocked(true);
}

void LivePlay::startSourceLocked(bool again)
{
    if (m_source)
    {
        m_source->stop();
    }
    const std::shared_ptr<const DeviceAccess> device = m_session.device();
    LiveReporter::Hooks hooks{[this, again]
                              {
                                  m_reconnector.settled();
                                  // Play is back once a picture is.
                                  if (again)
                                  {
                                      m_drawing.counters()->countReconnection();
                                  }
                              },
                              [this] { sourceLost(); }, [this] { m_reconnector.giveUp(); },
                              nullptr};
    // A camera was not asked before its stream: the stream failing is the answer "still away".
    if (again && device->decidesStream())
    {
        hooks.attemptFailed = [this] { m_reconnector.troubled(); };
    }
    m_source = device->liveSource(
        m_drawing,
        std::make_unique<LiveReporter>(m_dispatcher, m_channel, m_callbacks, std::move(hooks)));
    if (again)
    {
        m_source->startAgain(m_channel, m_choice);
    }
    else
    {
        m_source->start(m_channel, m_choice);
    }
}

void LivePlay::sourceLost()
{
    m_drawing.counters()->countLoss();
    m_drawing.showNoSignal();
    m_reconnector.troubled();
}

bool LivePlay::sourceRunningLocked() const
{
    return m_source && m_source->running();
}

std::string LivePlay::notServed(int32_t format, const std::vector<VideoCodec>& served)
{
    return "stream format " + std::to_string(format) + " (" + StreamFormats::nameOfCode(format) +
           ") is not served by this device, which serves " + StreamFormats::describe(served);
}

std::optional<StreamChoice> LivePlay::choose(const SettingsSnapshot& settings,
                                             const std::vector<VideoCodec>& served,
                                             VideoCodec fallback)
{
    const auto wanted = StreamFormats::fromCode(settings.streamFormat);
    const VideoCodec codec = wanted && serves(served, *wanted) ? *wanted : fallback;
    if (!serves(served, codec))
    {
        return std::nullopt;
    }
    return StreamChoice{codec, widthFor(codec, settings)};
}

int32_t LivePlay::widthFor(VideoCodec codec, const SettingsSnapshot& settings)
{
    switch (codec)
    {
    case VideoCodec::Mpeg4:
        return settings.mpeg4Width;
    // The interface has no width of its own for H.265.
    case VideoCodec::H264:
    case VideoCodec::H265:
        return settings.h264Width;
    case VideoCodec::Jpeg:
        break;
    }
    return settings.jpegWidth;
}

} // namespace velkor
