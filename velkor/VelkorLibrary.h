#pragma once

#include "DeviceInfo.h"
#include "DeviceLibrary.h"
#include "EventDispatcher.h"
#include "EventStream.h"
#include "LiveStream.h"
#include "Settings.h"
#include "VideoOutput.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velkor
{

struct DeviceEvent;
struct SettingsSnapshot;

// The library object behind GetVelkorAPI. Operations that talk to the device (Open, Close,
// PlayLive, PlayControl) are serialised by one lock that no stream thread and no listener event
// ever waits for; properties have their own short lock; events go out through the dispatcher.
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

    // Ends every stream and the dispatcher; for process exit. Never waits more than a few seconds.
    void shutdown();

private:
    int32_t refuse(int32_t code, std::string description);
    void report(int32_t code, std::string description);
    // Asks the live stream, if one plays, for the stream the settings now name.
    void retuneLive(bool formatChanged);
    static int32_t widthFor(VideoCodec codec, const SettingsSnapshot& settings);
    static std::string notServed(int32_t format, const std::vector<VideoCodec>& served);
    int32_t registerListener(IAppListener* listener);
    void endSessionLocked();
    void stopLiveLocked();
    bool sessionUsable() const;
    void onDeviceEvent(const DeviceEvent& event);
    void onSessionEnded(uint64_t generation, const std::string& description);
    static HttpRequest requestFor(const SettingsSnapshot& settings, const std::string& path);

    Settings m_settings;
    EventDispatcher m_dispatcher;
    VideoOutput m_video;

    std::timed_mutex m_operationMutex;
    DeviceInfo m_info;
    std::string m_deviceName;
    EventStream m_events;

    // Held briefly, never while a stream stops: setters reach the live stream through it.
    std::mutex m_liveMutex;
    std::unique_ptr<LiveStream> m_live;
    std::vector<VideoCodec> m_liveFormats;

    std::atomic<bool> m_open{false};
    std::atomic<bool> m_lost{false};
    std::atomic<int32_t> m_uid{0};
    std::atomic<uint64_t> m_generation{0};
    std::atomic<int32_t> m_preferredWidth{640};
    std::atomic<int32_t> m_preferredHeight{480};

    std::mutex m_callbackMutex;
    IAppCallBack* m_playCallback = nullptr;
};

} // namespace velkor
