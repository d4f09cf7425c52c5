#pragma once

#include "devicelib/DeviceLibrary.h"
#include "velkor/DeviceInfo.h"
#include "velkor/DrawingThread.h"
#include "velkor/EventDispatcher.h"
#include "velkor/EventStream.h"
#include "velkor/LiveStream.h"
#include "velkor/Reconnector.h"
#include "velkor/Settings.h"
#include "velkor/StopSignal.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velkor
{

struct DeviceEvent;

// The library object behind GetVelkorAPI. Operations that talk to the device (Open, Close,
// PlayLive, PlayControl) are serialised by one lock that no thread of the library ever waits for;
// the streams and the session they belong to have a second, short lock, which the reconnector
// takes too when it brings play back; properties have their own; events go out through the
// dispatcher, and X is only ever waited for within DrawingThread's bounds. No exception leaves an
// operation: it becomes InternalFailure and an OnError.
class VelkorLibrary final : public DeviceLibrary
{
public:
    VelkorLibrary() = default;
    VelkorLibrary(const VelkorLibrary&) = delete;
    VelkorLibrary& operator=(const VelkorLibrary&) = delete;

    int32_t Open() override;
    int32_t Close() override;
    int32_t SetDeviceType(int32_t type) override;
    int32_t GetDeviceType() override;
    int32_t SetIPAddr(const char* ipaddr) override;
    int32_t GetIPAddr(char* buffer, int32_t size) override;
    int32_t SetHttpPort(int32_t port) override;
    int32_t GetHttpPort() override;
    int32_t GetUID() override;
    int32_t SetUserName(const char* userName) override;
    int32_t GetUserName(char* buffer, int32_t size) override;
    int32_t SetPassword(const char* password) override;
    int32_t GetPassword(char* buffer, int32_t size) override;
    int32_t Slot042(IAppListener* listener) override;
    int32_t Slot066(int32_t value) override;
    int32_t PlayLive(int32_t channel, int32_t* out, int32_t mode, IAppCallBack* callback) override;
    int32_t PlayControl(int32_t first, int32_t second, int32_t* out, int32_t mode,
                        IAppCallBack* callback) override;
    int32_t SetVideoWindow(VideoWindowHandle window) override;
    int32_t ClearImage() override;
    int32_t SetMPEG4Resolution(int32_t resolution) override;
    int32_t GetMPEG4Resolution() override;
    int32_t SetH264Resolution(int32_t resolution) override;
    int32_t GetH264Resolution() override;
    int32_t SetJPEGResolution(int32_t resolution) override;
    int32_t GetJPEGResolution() override;
    int32_t SetStreamFormat(int32_t format) override;
    int32_t GetStreamFormat() override;
    int32_t Slot196(int32_t value) override;
    int32_t Slot198(int32_t value) override;
    int32_t Slot220(int32_t value) override;
    int32_t Slot296(IAppListener* listener) override;
    int32_t Slot298(int32_t first, int32_t second) override;
    int32_t Slot328(int32_t value) override;
    int32_t Slot332(int32_t value) override;

    // Ends every stream, the drawing and the dispatcher; for process exit. Returns within about a
    // second whatever the device and the X server do.
    void shutdown();

private:
    template <typename Operation> int32_t guarded(const char* operation, Operation&& body) noexcept;
    int32_t internalFailure(const char* operation, const char* what) noexcept;
    int32_t open();
    int32_t close();
    int32_t playLive(int32_t channel, int32_t* out, int32_t mode, IAppCallBack* callback);
    int32_t refuse(int32_t code, std::string description);
    void report(int32_t code, std::string description);
    // Asks the live stream, if one plays, for the stream the settings now name.
    // A setter of a value live play depends on: a change that was accepted reaches the stream.
    int32_t setForLive(const char* operation, int32_t (Settings::*set)(int32_t), int32_t value,
                       bool formatChanged);
    void retuneLive(bool formatChanged);
    static int32_t widthFor(VideoCodec codec, const SettingsSnapshot& settings);
    static std::string notServed(int32_t format, const std::vector<VideoCodec>& served);
    int32_t registerListener(IAppListener* listener);

    void stopPlayLocked();
    void endSessionLocked();
    void establishSessionLocked(const DeviceInfo& info, const SettingsSnapshot& settings);
    void startLiveLocked();
    bool restorePlay(StopSignal& stop);
    bool sessionUsable() const;
    void onDeviceEvent(const DeviceEvent& event, int32_t channels);
    void onSessionEnded(uint64_t generation, const std::string& description);
    void onLiveLost();
    static HttpRequest requestFor(const SettingsSnapshot& settings, const std::string& path);
    static std::string nameOf(const SettingsSnapshot& settings);

    Settings m_settings;
    EventDispatcher m_dispatcher;
    DrawingThread m_drawing;
    // Requested at exit: ends an Open that waits for the device.
    StopSignal m_exiting;

    std::mutex m_operationMutex;
    Reconnector m_reconnector;

    std::mutex m_streamsMutex;
    DeviceInfo m_info;
    SettingsSnapshot m_sessionSettings;
    EventStream m_events;
    std::unique_ptr<LiveStream> m_live;
    HttpRequest m_liveRequest;
    int32_t m_liveChannel = 0;
    std::vector<VideoCodec> m_liveFormats;
    StreamChoice m_liveChoice;

    std::atomic<bool> m_open{false};
    std::atomic<bool> m_lost{false};
    std::atomic<int32_t> m_uid{0};
    std::atomic<uint64_t> m_generation{0};

    std::mutex m_callbackMutex;
    IAppCallBack* m_playCallback = nullptr;
};

} // namespace velkor
