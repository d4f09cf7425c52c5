#include "velkor/VelkorLibrary.h"

#include "devicelib/IAppCallBack.h"
#include "velkor/DeviceEvent.h"
#include "velkor/HttpClient.h"
#include "velkor/LiveReporter.h"
#include "velkor/ResultCode.h"
#include "velkor/TextRules.h"

#include <algorithm>
#include <exception>

namespace velkor
{
namespace
{

// The device sends a keepalive every second; silence well beyond that means it is gone.
constexpr long kEventSilenceMs = 6000;
constexpr long kLiveSilenceMs = 5000;

std::uint64_t stateKey(DeviceEvent::Kind kind, int32_t channel)
{
    return (static_cast<std::uint64_t>(kind) << 32) | static_cast<std::uint32_t>(channel);
}

} // namespace

template <typename Operation>
int32_t VelkorLibrary::guarded(const char* operation, Operation&& body) noexcept
{
    try
    {
        return body();
    }
    catch (const std::exception& error)
    {
        return internalFailure(operation, error.what());
    }
    catch (...)
    {
        return internalFailure(operation, "an exception of unknown kind");
    }
}

int32_t VelkorLibrary::internalFailure(const char* operation, const char* what) noexcept
{
    try
    {
        const std::string description =
            std::string(operation) + " failed inside the library: " + what;
        m_dispatcher.post([description](IAppListener& listener)
                          { listener.OnError(InternalFailure, description.c_str()); });
    }
    catch (...)
    {
        // Without memory even for the report, the result code has to say it alone.
    }
    return InternalFailure;
}

int32_t VelkorLibrary::Open()
{
    return guarded("Open", [this] { return open(); });
}

int32_t VelkorLibrary::open()
{
    std::lock_guard lock(m_operationMutex);
    const SettingsSnapshot settings = m_settings.snapshot();
    if (sessionUsable())
    {
        std::lock_guard streams(m_streamsMutex);
        return refuse(AlreadyOpen, "a session with " + nameOf(m_sessionSettings) +
                                       " is open already; close it first");
    }
    endSessionLocked();

    const std::string name = nameOf(settings);
    const HttpResult result = HttpClient::fetch(requestFor(settings, "/velkor/info"), m_exiting);
    switch (result.outcome)
    {
    case HttpResult::Outcome::Unreachable:
        return refuse(DeviceUnreachable, "cannot reach " + name + ": " + result.detail);
    case HttpResult::Outcome::TimedOut:
        return refuse(DeviceTimedOut, name + " did not answer in time: " + result.detail);
    case HttpResult::Outcome::Completed:
        break;
    case HttpResult::Outcome::Refused:
        return refuse(NotVelkorDevice,
                      name + " sent an oversized answer; it is not a velkor device");
    case HttpResult::Outcome::Stopped:
    case HttpResult::Outcome::TransportFailed:
        return refuse(DeviceRequestFailed, "talking to " + name + " failed: " + result.detail);
    }
    if (result.status == 401)
    {
        const bool anonymous = settings.userName.empty() && settings.password.empty();
        return refuse(CredentialsRefused, anonymous ? name + " requires a user name and password"
                                                    : name + " refused the user name and password");
    }
    if (result.status == 503)
    {
        return refuse(DeviceBusy, "device busy: " + name +
                                      " serves no more connections at the moment (HTTP 503)");
    }
    if (result.status != 200)
    {
        return refuse(NotVelkorDevice, name + " answered HTTP " + std::to_string(result.status) +
                                           " for its info; it is not a velkor device");
    }
    const auto info = DeviceInfo::parse(result.body);
    if (!info)
    {
        return refuse(NotVelkorDevice, name + " does not describe itself as a velkor device");
    }
    std::lock_guard streams(m_streamsMutex);
    establishSessionLocked(*info, settings);
    return info->uid;
}

int32_t VelkorLibrary::Close()
{
    return guarded("Close", [this] { return close(); });
}

int32_t VelkorLibrary::close()
{
    std::lock_guard lock(m_operationMutex);
    const bool announce = sessionUsable();
    endSessionLocked();
    if (announce)
    {
        m_dispatcher.post([](IAppListener& listener)
                          { listener.OnDevStatus(0, SessionStatusClosed); });
    }
    return Ok;
}

int32_t VelkorLibrary::GetUID()
{
    return guarded("GetUID", [this] { return sessionUsable() ? m_uid.load() : 0; });
}

int32_t VelkorLibrary::PlayLive(int32_t channel, int32_t* out, int32_t mode, IAppCallBack* callback)
{
    return guarded("PlayLive", [&] { return playLive(channel, out, mode, callback); });
}

int32_t VelkorLibrary::playLive(int32_t channel, int32_t* out, int32_t mode, IAppCallBack* callback)
{
    std::lock_guard lock(m_operationMutex);
    if (!sessionUsable())
    {
        return refuse(NotOpen, "no session with a device: open one before live play");
    }
    DeviceInfo info;
    bool streaming = false;
    {
        std::lock_guard streams(m_streamsMutex);
        info = m_info;
        streaming = m_live && m_live->running();
    }
    if (channel < 1 || channel > info.channels)
    {
        return refuse(ChannelUnknown, "the device has no channel " + std::to_string(channel) +
                                          " (it has 1 to " + std::to_string(info.channels) + ")");
    }
    const SettingsSnapshot settings = m_settings.snapshot();
    const auto codec = StreamFormats::fromCode(settings.streamFormat);
    if (!codec || !info.serves(*codec))
    {
        return refuse(FormatNotServed, notServed(settings.streamFormat, info.formats));
    }
    if (streaming || m_reconnector.recovering())
    {
        return refuse(AlreadyPlaying, "live play is running already; stop it first");
    }
    stopPlayLocked();

    {
        std::lock_guard callbackLock(m_callbackMutex);
        m_playCallback = mode != 0 ? callback : nullptr;
    }
    HttpRequest device = requestFor(settings, "");
    device.totalTimeoutMs = 0;
    device.stallTimeoutMs = kLiveSilenceMs;
    {
        std::lock_guard streams(m_streamsMutex);
        m_liveRequest = std::move(device);
        m_liveChannel = channel;
        m_liveFormats = m_info.formats;
        // Settings changed since the snapshot above reach the stream through retuneLive, which
        // waits for this lock.
        const SettingsSnapshot now = m_settings.snapshot();
        const auto wanted = StreamFormats::fromCode(now.streamFormat);
        const VideoCodec playing = wanted && m_info.serves(*wanted) ? *wanted : *codec;
        m_liveChoice = {playing, widthFor(playing, now)};
        startLiveLocked();
    }
    m_reconnector.start([this](StopSignal& stop) { return restorePlay(stop); });
    if (out != nullptr)
    {
        *out = channel;
    }
    return Ok;
}

int32_t VelkorLibrary::PlayControl(int32_t first, int32_t second, int32_t* out, int32_t /*mode*/,
                                   IAppCallBack* /*callback*/)
{
    return guarded("PlayControl",
                   [&]
                   {
                       if (first != 1 || second != 1)
                       {
                           return static_cast<int32_t>(NotSupported);
                       }
                       std::lock_guard lock(m_operationMutex);
                       stopPlayLocked();
                       if (out != nullptr)
                       {
                           *out = 0;
                       }
                       return static_cast<int32_t>(Ok);
                   });
}

int32_t VelkorLibrary::SetVideoWindow(VideoWindowHandle window)
{
    return guarded("SetVideoWindow", [&] { return m_drawing.setWindow(window); });
}

int32_t VelkorLibrary::ClearImage()
{
    return guarded("ClearImage",
                   [this]
                   {
                       m_drawing.clear();
                       return static_cast<int32_t>(Ok);
                   });
}

int32_t VelkorLibrary::SetDeviceType(int32_t type)
{
    return guarded("SetDeviceType", [&] { return m_settings.setDeviceType(type); });
}

int32_t VelkorLibrary::GetDeviceType()
{
    return guarded("GetDeviceType", [this] { return m_settings.snapshot().deviceType; });
}

int32_t VelkorLibrary::SetIPAddr(const char* ipaddr)
{
    return guarded("SetIPAddr", [&] { return m_settings.setAddress(ipaddr); });
}

int32_t VelkorLibrary::GetIPAddr(char* buffer, int32_t size)
{
    return guarded("GetIPAddr",
                   [&] { return TextRules::copyOut(m_settings.snapshot().address, buffer, size); });
}

int32_t VelkorLibrary::SetHttpPort(int32_t port)
{
    return guarded("SetHttpPort", [&] { return m_settings.setPort(port); });
}

int32_t VelkorLibrary::GetHttpPort()
{
    return guarded("GetHttpPort", [this] { return m_settings.snapshot().port; });
}

int32_t VelkorLibrary::SetUserName(const char* userName)
{
    return guarded("SetUserName", [&] { return m_settings.setUserName(userName); });
}

int32_t VelkorLibrary::GetUserName(char* buffer, int32_t size)
{
    return guarded("GetUserName", [&]
                   { return TextRules::copyOut(m_settings.snapshot().userName, buffer, size); });
}

int32_t VelkorLibrary::SetPassword(const char* password)
{
    return guarded("SetPassword", [&] { return m_settings.setPassword(password); });
}

int32_t VelkorLibrary::GetPassword(char* buffer, int32_t size)
{
    return guarded("GetPassword", [&]
                   { return TextRules::copyOut(m_settings.snapshot().password, buffer, size); });
}

int32_t VelkorLibrary::SetMPEG4Resolution(int32_t resolution)
{
    return setForLive("SetMPEG4Resolution", &Settings::setMpeg4Width, resolution, false);
}

int32_t VelkorLibrary::GetMPEG4Resolution()
{
    return guarded("GetMPEG4Resolution", [this] { return m_settings.snapshot().mpeg4Width; });
}

int32_t VelkorLibrary::SetH264Resolution(int32_t resolution)
{
    return setForLive("SetH264Resolution", &Settings::setH264Width, resolution, false);
}

int32_t VelkorLibrary::GetH264Resolution()
{
    return guarded("GetH264Resolution", [this] { return m_settings.snapshot().h264Width; });
}

int32_t VelkorLibrary::SetJPEGResolution(int32_t resolution)
{
    return setForLive("SetJPEGResolution", &Settings::setJpegWidth, resolution, false);
}

int32_t VelkorLibrary::GetJPEGResolution()
{
    return guarded("GetJPEGResolution", [this] { return m_settings.snapshot().jpegWidth; });
}

int32_t VelkorLibrary::SetStreamFormat(int32_t format)
{
    return setForLive("SetStreamFormat", &Settings::setStreamFormat, format, true);
}

int32_t VelkorLibrary::GetStreamFormat()
{
    return guarded("GetStreamFormat", [this] { return m_settings.snapshot().streamFormat; });
}

int32_t VelkorLibrary::Slot042(IAppListener* listener)
{
    return guarded("Slot042", [&] { return registerListener(listener); });
}

int32_t VelkorLibrary::Slot296(IAppListener* listener)
{
    return guarded("Slot296", [&] { return registerListener(listener); });
}

int32_t VelkorLibrary::registerListener(IAppListener* listener)
{
    if (listener == nullptr)
    {
        m_dispatcher.clearListeners();
    }
    else
    {
        m_dispatcher.addListener(listener);
    }
    return Ok;
}

int32_t VelkorLibrary::Slot196(int32_t value)
{
    // A preferred picture height; pictures are drawn at the window's size, so it is only checked.
    return value <= 0 || value > 16384 ? InvalidArgument : Ok;
}

int32_t VelkorLibrary::Slot198(int32_t value)
{
    // A preferred picture width, checked like the height and otherwise unused.
    return value <= 0 || value > 16384 ? InvalidArgument : Ok;
}

int32_t VelkorLibrary::Slot066(int32_t /*value*/)
{
    return Ok;
}

int32_t VelkorLibrary::Slot220(int32_t /*value*/)
{
    return Ok;
}

int32_t VelkorLibrary::Slot298(int32_t /*first*/, int32_t /*second*/)
{
    return Ok;
}

int32_t VelkorLibrary::Slot328(int32_t /*value*/)
{
    return Ok;
}

int32_t VelkorLibrary::Slot332(int32_t /*value*/)
{
    return Ok;
}

void VelkorLibrary::shutdown()
{
    try
    {
        m_exiting.request();
        // Every operation holding this lock ends promptly now: Open's request is stopped, and
        // stopping a stream or the reconnector never waits for the device or the X server.
        {
            std::lock_guard lock(m_operationMutex);
            endSessionLocked();
        }
        m_drawing.shutdown();
        m_dispatcher.shutdown();
    }
    catch (...)
    {
        // Leaving the process: nothing is left to tell.
    }
}

int32_t VelkorLibrary::refuse(int32_t code, std::string description)
{
    report(code, std::move(description));
    return code;
}

void VelkorLibrary::report(int32_t code, std::string description)
{
    m_dispatcher.post([code, description = std::move(description)](IAppListener& listener)
                      { listener.OnError(code, description.c_str()); });
}

int32_t VelkorLibrary::setForLive(const char* operation, int32_t (Settings::*set)(int32_t),
                                  int32_t value, bool formatChanged)
{
    return guarded(operation,
                   [&]
                   {
                       const int32_t result = (m_settings.*set)(value);
                       if (result == Ok)
                       {
                           retuneLive(formatChanged);
                       }
                       return result;
                   });
}

void VelkorLibrary::retuneLive(bool formatChanged)
{
    std::lock_guard streams(m_streamsMutex);
    if (!m_live || !m_live->running())
    {
        return;
    }
    const SettingsSnapshot settings = m_settings.snapshot();
    const StreamChoice playing = m_live->choice();
    auto codec = StreamFormats::fromCode(settings.streamFormat);
    const bool served = codec && std::find(m_liveFormats.begin(), m_liveFormats.end(), *codec) !=
                                     m_liveFormats.end();
    if (!served)
    {
        // The setting stays, as it would while stopped; the picture stays too, rather than the
        // play ending over a value the user may be passing through.
        if (formatChanged)
        {
            report(FormatNotServed, notServed(settings.streamFormat, m_liveFormats) +
                                        "; live play goes on in " +
                                        std::string(StreamFormats::name(playing.codec)) + " at " +
                                        std::to_string(playing.width));
        }
        codec = playing.codec;
    }
    m_liveChoice = {*codec, widthFor(*codec, settings)};
    m_live->retune(m_liveChoice);
}

int32_t VelkorLibrary::widthFor(VideoCodec codec, const SettingsSnapshot& settings)
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

std::string VelkorLibrary::notServed(int32_t format, const std::vector<VideoCodec>& served)
{
    return "stream format " + std::to_string(format) + " (" + StreamFormats::nameOfCode(format) +
           ") is not served by this device, which serves " + StreamFormats::describe(served);
}

void VelkorLibrary::stopPlayLocked()
{
    m_reconnector.stop();
    {
        std::lock_guard streams(m_streamsMutex);
        if (m_live)
        {
            m_live->stop();
            m_live.reset();
        }
        m_liveChannel = 0;
    }
    {
        std::lock_guard callbackLock(m_callbackMutex);
        m_playCallback = nullptr;
    }
    m_drawing.endNoSignal();
}

void VelkorLibrary::endSessionLocked()
{
    stopPlayLocked();
    std::lock_guard streams(m_streamsMutex);
    m_events.stop();
    m_open = false;
    m_uid = 0;
}

void VelkorLibrary::establishSessionLocked(const DeviceInfo& info, const SettingsSnapshot& settings)
{
    m_info = info;
    m_sessionSettings = settings;
    m_uid = info.uid;
    m_lost = false;
    m_open = true;
    const uint64_t generation = ++m_generation;
    HttpRequest events = requestFor(settings, "/velkor/events");
    events.totalTimeoutMs = 0;
    events.stallTimeoutMs = kEventSilenceMs;
    m_dispatcher.post([](IAppListener& listener)
                      { listener.OnDevStatus(0, SessionStatusConnected); });
    m_events.start(
        std::move(events),
        [this, channels = info.channels](const DeviceEvent& event)
        { onDeviceEvent(event, channels); },
        [this, generation](const std::string& description)
        { onSessionEnded(generation, description); });
}

void VelkorLibrary::startLiveLocked()
{
    if (m_live)
    {
        m_live->stop();
    }
    IAppCallBack* callback = nullptr;
    {
        std::lock_guard callbackLock(m_callbackMutex);
        callback = m_playCallback;
    }
    LiveReporter::Hooks hooks{[this] { m_reconnector.settled(); }, [this] { onLiveLost(); }};
    m_live = std::make_unique<LiveStream>(
        m_drawing,
        std::make_unique<LiveReporter>(m_dispatcher, m_liveChannel, callback, std::move(hooks)));
    m_live->start(m_liveRequest, m_liveChannel, m_liveChoice);
}

bool VelkorLibrary::restorePlay(StopSignal& stop)
{
    SettingsSnapshot settings;
    {
        std::lock_guard streams(m_streamsMutex);
        settings = m_sessionSettings;
    }
    // A quiet question first: a device that is still away costs no events.
    const HttpResult result = HttpClient::fetch(requestFor(settings, "/velkor/info"), stop);
    if (stop.requested())
    {
        return true;
    }
    if (result.outcome != HttpResult::Outcome::Completed || result.status != 200)
    {
        return false;
    }
    const auto info = DeviceInfo::parse(result.body);
    if (!info)
    {
        return false;
    }
    std::lock_guard streams(m_streamsMutex);
    if (stop.requested())
    {
        return true;
    }
    if (!sessionUsable())
    {
        establishSessionLocked(*info, settings);
        m_liveFormats = info->formats;
    }
    if (!m_live || !m_live->running())
    {
        startLiveLocked();
    }
    return true;
}

bool VelkorLibrary::sessionUsable() const
{
    return m_open.load() && !m_lost.load();
}

void VelkorLibrary::onDeviceEvent(const DeviceEvent& event, int32_t channels)
{
    const int32_t channel = event.channel;
    const int32_t status = event.status;
    // Channel 0 stands for the session itself in OnDevStatus; channels the device does not have
    // are no news of it.
    if (channel < 1 || channel > channels)
    {
        return;
    }
    IAppCallBack* callback = nullptr;
    {
        std::lock_guard callbackLock(m_callbackMutex);
        callback = m_playCallback;
    }
    switch (event.kind)
    {
    case DeviceEvent::Kind::Alarm:
        m_dispatcher.postDroppable(
            [channel, type = event.type, time = event.time, status](IAppListener& listener)
            { listener.OnAlmStatus(channel, type, time.c_str(), status); },
            callback == nullptr ? EventDispatcher::Task{}
                                : [callback, status] { callback->OnAlmStatusCB(status); });
        break;
    case DeviceEvent::Kind::Record:
        m_dispatcher.postState(
            stateKey(event.kind, channel),
            [channel, status](IAppListener& listener) { listener.OnRecStatus(channel, status); },
            callback == nullptr ? EventDispatcher::Task{}
                                : [callback, status] { callback->OnRecCB(status); });
        break;
    case DeviceEvent::Kind::Channel:
        m_dispatcher.postState(stateKey(event.kind, channel),
                               [channel, status](IAppListener& listener)
                               { listener.OnDevStatus(channel, status); });
        break;
    }
}

void VelkorLibrary::onSessionEnded(uint64_t generation, const std::string& description)
{
    if (generation != m_generation.load() || m_lost.exchange(true))
    {
        return;
    }
    m_dispatcher.post([](IAppListener& listener) { listener.OnDevStatus(0, SessionStatusLost); });
    m_dispatcher.post(
        [description](IAppListener& listener) {
            listener.OnError(SessionLost,
                             ("lost the session with the device: " + description).c_str());
        });
    m_reconnector.troubled();
}

void VelkorLibrary::onLiveLost()
{
    m_drawing.showNoSignal();
    m_reconnector.troubled();
}

HttpRequest VelkorLibrary::requestFor(const SettingsSnapshot& settings, const std::string& path)
{
    HttpRequest request;
    request.url = HttpClient::baseUrl(settings.address, settings.port) + path;
    request.userName = settings.userName;
    request.password = settings.password;
    return request;
}

std::string VelkorLibrary::nameOf(const SettingsSnapshot& settings)
{
    return "the device at " + HttpClient::baseUrl(settings.address, settings.port);
}

} // namespace velkor
