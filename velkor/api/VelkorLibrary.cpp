#include "velkor/api/VelkorLibrary.h"

#include "velkor/net/TextRules.h"
#include "velkor/report/ResultCode.h"
#include "velkor/session/DeviceFactory.h"

#include <exception>

namespace velkor
{

VelkorLibrary::VelkorLibrary()
{
    m_session.onLost([this] { m_play.sessionLost(); });
}

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
        m_dispatcher.postError(InternalFailure,
                               std::string(operation) + " failed inside the library: " + what);
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

template <typename Operation> int32_t VelkorLibrary::serialised(Operation&& body)
{
    int32_t result = Ok;
    {
        std::lock_guard lock(m_operationMutex);
        result = body();
    }
    // The callback of a play that ended may be calling one of these operations right now.
    m_callbacks.waitForDropped();
    return result;
}

int32_t VelkorLibrary::open()
{
    return serialised(
        [this]
        {
            if (m_session.usable())
            {
                const std::string name = m_session.device()->name();
                m_dispatcher.postError(AlreadyOpen, "a session with " + name +
                                                        " is open already; close it first");
                return static_cast<int32_t>(AlreadyOpen);
            }
            m_play.stop();
            return m_session.open(DeviceFactory::forSettings(m_settings.snapshot()),
                                  m_exiting.get_token());
        });
}

int32_t VelkorLibrary::Close()
{
    return guarded("Close", [this] { return close(); });
}

int32_t VelkorLibrary::close()
{
    return serialised(
        [this]
        {
            m_play.stop();
            if (m_session.end())
            {
                m_dispatcher.post([](IAppListener& listener)
                                  { listener.OnDevStatus(0, SessionStatusClosed); });
            }
            return static_cast<int32_t>(Ok);
        });
}

int32_t VelkorLibrary::GetUID()
{
    return guarded("GetUID", [this] { return m_session.uid(); });
}

int32_t VelkorLibrary::PlayLive(int32_t channel, int32_t* out, int32_t mode, IAppCallBack* callback)
{
    return guarded("PlayLive",
                   [&]
                   {
                       const int32_t result = serialised(
                           [&] { return m_play.start(channel, mode != 0 ? callback : nullptr); });
                       if (result == Ok && out != nullptr)
                       {
                           *out = channel;
                       }
                       return result;
                   });
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
                       serialised(
                           [this]
                           {
                               m_play.stop();
                               return static_cast<int32_t>(Ok);
                           });
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
    return guarded("SetIPAddr",
                   [&]
                   {
                       std::string why;
                       const int32_t result = m_settings.setAddress(ipaddr, why);
                       if (result == AddressInvalid)
                       {
                           m_dispatcher.postError(result, std::move(why));
                       }
                       return result;
                   });
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
    return guarded("GetStreamFormat",
                   [this]
                   {
                       // A camera's own format, while the address is still that camera's.
                       const SettingsSnapshot settings = m_settings.snapshot();
                       const std::shared_ptr<const DeviceAccess> device = m_session.device();
                       const auto decided =
                           device ? device->decidedFormat(settings.address) : std::nullopt;
                       return decided.value_or(settings.streamFormat);
                   });
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
        m_exiting.request_stop();
        // A callback that never returns must not hold up leaving the process.
        m_callbacks.close();
        // Every operation holding this lock ends promptly now: Open's request is stopped, and
        // stopping a stream or the reconnector never waits for the device or the X server.
        {
            std::lock_guard lock(m_operationMutex);
            m_play.stop();
            m_session.end();
        }
        m_drawing.shutdown();
        m_dispatcher.shutdown();
    }
    catch (...)
    {
        // Leaving the process: nothing is left to tell.
    }
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
                           m_play.retune(formatChanged);
                       }
                       return result;
                   });
}

} // namespace velkor
