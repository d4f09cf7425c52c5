#include "VelkorLibrary.h"

#include "DeviceEvent.h"
#include "HttpClient.h"
#include "LiveReporter.h"
#include "ResultCode.h"
#include "TextRules.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace velkor
{

int32_t VelkorLibrary::Open()
{
    std::lock_guard lock(m_operationMutex);
    if (sessionUsable())
    {
        return refuse(AlreadyOpen,
                      "a session with " + m_deviceName + " is open already; close it first");
    }
    endSessionLocked();

    const SettingsSnapshot settings = m_settings.snapshot();
    const std::string name =
        "the device at " + HttpClient::baseUrl(settings.address, settings.port);
    const HttpResult result = HttpClient::fetch(requestFor(settings, "/velkor/info"));
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

    m_info = *info;
    m_deviceName = name;
    m_uid = info->uid;
    m_lost = false;
    m_open = true;
    const uint64_t generation = ++m_generation;
    HttpRequest events = requestFor(settings, "/velkor/events");
    events.totalTimeoutMs = 0;
    // The device sends a keepalive every 2 s; silence well beyond that means it is gone.
    events.stallTimeoutS = 6;
    m_dispatcher.post([](IAppListener& listener)
                      { listener.OnDevStatus(0, SessionStatusConnected); });
    m_events.start(
        std::move(events), [this](const DeviceEvent& event) { onDeviceEvent(event); },
        [this, generation](const std::string& description)
        { onSessionEnded(generation, description); });
    return info->uid;
}

int32_t VelkorLibrary::Close()
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
    return sessionUsable() ? m_uid.load() : 0;
}

int32_t VelkorLibrary::PlayLive(int32_t channel, int32_t* out, int32_t mode, IAppCallBack* callback)
{
    std::lock_guard lock(m_operationMutex);
    if (!sessionUsable())
    {
        return refuse(NotOpen, "no session with a device: open one before live play");
    }
    if (channel < 1 || channel > m_info.channels)
    {
        return refuse(ChannelUnknown, "the device has no channel " + std::to_string(channel) +
                                          " (it has 1 to " + std::to_string(m_info.channels) + ")");
    }
    const SettingsSnapshot settings = m_settings.snapshot();
    const auto codec = StreamFormats::fromCode(settings.streamFormat);
    if (!codec || !m_info.serves(*codec))
    {
        return refuse(FormatNotServed, notServed(settings.streamFormat, m_info.formats));
    }
    std::unique_ptr<LiveStream> ended;
    {
        std::lock_guard liveLock(m_liveMutex);
        if (m_live && m_live->running())
        {
            return refuse(AlreadyPlaying, "live play is running already; stop it first");
        }
        ended = std::move(m_live);
    }
    ended.reset();

    IAppCallBack* playCallback = mode != 0 ? callback : nullptr;
    {
        std::lock_guard callbackLock(m_callbackMutex);
        m_playCallback = playCallback;
    }
    HttpRequest device = requestFor(settings, "");
    device.totalTimeoutMs = 0;
    device.stallTimeoutS = 5;
    {
        std::lock_guard liveLock(m_liveMutex);
        m_live = std::make_unique<LiveStream>(
            m_video, std::make_unique<LiveReporter>(m_dispatcher, channel, playCallback));
        m_liveFormats = m_info.formats;
        // Settings changed since the snapshot above reach the stream through retuneLive, which
        // waits for this lock.
        const SettingsSnapshot now = m_settings.snapshot();
        const auto wanted = StreamFormats::fromCode(now.streamFormat);
        const VideoCodec playing = wanted && m_info.serves(*wanted) ? *wanted : *codec;
        m_live->start(std::move(device), channel, {playing, widthFor(playing, now)});
    }
    if (out != nullptr)
    {
        *out = channel;
    }
    return Ok;
}

int32_t VelkorLibrary::PlayControl(int32_t first, int32_t second, int32_t* out, int32_t /*mode*/,
                                   IAppCallBack* /*callback*/)
{
    if (first != 1 || second != 1)
    {
        return NotSupported;
    }
    std::lock_guard lock(m_operationMutex);
    stopLiveLocked();
    if (out != nullptr)
    {
        *out = 0;
    }
    return Ok;
}

int32_t VelkorLibrary::SetVideoWindow(VideoWindowHandle window)
{
    return m_video.setWindow(window);
}

int32_t VelkorLibrary::ClearImage()
{
    m_video.clear();
    return Ok;
}

int32_t VelkorLibrary::SetDeviceType(int32_t type)
{
    return m_settings.setDeviceType(type);
}

int32_t VelkorLibrary::GetDeviceType()
{
    return m_settings.snapshot().deviceType;
}

int32_t VelkorLibrary::SetIPAddr(const char* ipaddr)
{
    return m_settings.setAddress(ipaddr);
}

int32_t VelkorLibrary::GetIPAddr(char* buffer, int32_t size)
{
    return TextRules::copyOut(m_settings.snapshot().address, buffer, size);
}

int32_t VelkorLibrary::SetHttpPort(int32_t port)
{
    return m_settings.setPort(port);
}

int32_t VelkorLibrary::GetHttpPort()
{
    return m_settings.snapshot().port;
}

int32_t VelkorLibrary::SetUserName(const char* userName)
{
    return m_settings.setUserName(userName);
}

int32_t VelkorLibrary::GetUserName(char* buffer, int32_t size)
{
    return TextRules::copyOut(m_settings.snapshot().userName, buffer, size);
}

int32_t VelkorLibrary::SetPassword(const char* password)
{
    return m_settings.setPassword(password);
}

int32_t VelkorLibrary::GetPassword(char* buffer, int32_t size)
{
    return TextRules::copyOut(m_settings.snapshot().password, buffer, size);
}

int32_t VelkorLibrary::SetMPEG4Resolution(int32_t resolution)
{
    const int32_t result = m_settings.setMpeg4Width(resolution);
    if (result == Ok)
    {
        retuneLive(false);
    }
    return result;
}

int32_t VelkorLibrary::GetMPEG4Resolution()
{
    return m_settings.snapshot().mpeg4Width;
}

int32_t VelkorLibrary::SetH264Resolution(int32_t resolution)
{
    const int32_t result = m_settings.setH264Width(resolution);
    if (result == Ok)
    {
        retuneLive(false);
    }
    return result;
}

int32_t VelkorLibrary::GetH264Resolution()
{
    return m_settings.snapshot().h264Width;
}

int32_t VelkorLibrary::SetJPEGResolution(int32_t resolution)
{
    const int32_t result = m_settings.setJpegWidth(resolution);
    if (result == Ok)
    {
        retuneLive(false);
    }
    return result;
}

int32_t VelkorLibrary::GetJPEGResolution()
{
    return m_settings.snapshot().jpegWidth;
}

int32_t VelkorLibrary::SetStreamFormat(int32_t format)
{
    const int32_t result = m_settings.setStreamFormat(format);
    if (result == Ok)
    {
        retuneLive(true);
    }
    return result;
}

int32_t VelkorLibrary::GetStreamFormat()
{
    return m_settings.snapshot().streamFormat;
}

int32_t VelkorLibrary::Slot042(IAppListener* listener)
{
    return registerListener(listener);
}

int32_t VelkorLibrary::Slot296(IAppListener* listener)
{
    return registerListener(listener);
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
    if (value <= 0 || value > 16384)
    {
        return InvalidArgument;
    }
    m_preferredHeight = value;
    return Ok;
}

int32_t VelkorLibrary::Slot198(int32_t value)
{
    if (value <= 0 || value > 16384)
    {
        return InvalidArgument;
    }
    m_preferredWidth = value;
    return Ok;
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
    // Polled with try_lock rather than a timed wait: ThreadSanitizer does not follow the clock
    // lock that a timed wait uses, and an exit that waits a few milliseconds longer costs nothing.
    std::unique_lock lock(m_operationMutex, std::defer_lock);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    while (!lock.try_lock() && std::chrono::steady_clock::now() < giveUp)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (lock.owns_lock())
    {
        endSessionLocked();
    }
    m_dispatcher.shutdown();
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

void VelkorLibrary::retuneLive(bool formatChanged)
{
    std::lock_guard liveLock(m_liveMutex);
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
    m_live->retune({*codec, widthFor(*codec, settings)});
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

void VelkorLibrary::endSessionLocked()
{
    stopLiveLocked();
    m_events.stop();
    m_open = false;
    m_uid = 0;
}

void VelkorLibrary::stopLiveLocked()
{
    std::unique_ptr<LiveStream> live;
    {
        std::lock_guard liveLock(m_liveMutex);
        live = std::move(m_live);
    }
    if (live)
    {
        live->stop();
        live.reset();
    }
    std::lock_guard callbackLock(m_callbackMutex);
    m_playCallback = nullptr;
}

bool VelkorLibrary::sessionUsable() const
{
    return m_open.load() && !m_lost.load();
}

void VelkorLibrary::onDeviceEvent(const DeviceEvent& event)
{
    IAppCallBack* callback = nullptr;
    {
        std::lock_guard callbackLock(m_callbackMutex);
        callback = m_playCallback;
    }
    const int32_t channel = event.channel;
    const int32_t status = event.status;
    switch (event.kind)
    {
    case DeviceEvent::Kind::Alarm:
        m_dispatcher.post(
            [channel, type = event.type, time = event.time, status](IAppListener& listener)
            { listener.OnAlmStatus(channel, type, time.c_str(), status); });
        if (callback != nullptr)
        {
            m_dispatcher.postTask([callback, status] { callback->OnAlmStatusCB(status); });
        }
        break;
    case DeviceEvent::Kind::Record:
        m_dispatcher.post([channel, status](IAppListener& listener)
                          { listener.OnRecStatus(channel, status); });
        if (callback != nullptr)
        {
            m_dispatcher.postTask([callback, status] { callback->OnRecCB(status); });
        }
        break;
    case DeviceEvent::Kind::Channel:
        // Channel 0 stands for the session itself in OnDevStatus.
        if (channel > 0)
        {
            m_dispatcher.post([channel, status](IAppListener& listener)
                              { listener.OnDevStatus(channel, status); });
        }
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
}

HttpRequest VelkorLibrary::requestFor(const SettingsSnapshot& settings, const std::string& path)
{
    HttpRequest request;
    request.url = HttpClient::baseUrl(settings.address, settings.port) + path;
    request.userName = settings.userName;
    request.password = settings.password;
    return request;
}

} // namespace velkor
