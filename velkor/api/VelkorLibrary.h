#pragma once

#include "devicelib/DeviceLibrary.h"
#include "velkor/api/Settings.h"
#include "velkor/draw/DrawingThread.h"
#include "velkor/report/EventDispatcher.h"
#include "velkor/report/PlayCallbacks.h"
#include "velkor/session/DeviceEventReporter.h"
#include "velkor/session/LivePlay.h"
#include "velkor/session/Session.h"

#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>

namespace velkor
{

// The library object behind GetVelkorAPI: checks arguments and hands each operation to the object
// whose job it is (Settings, Session, LivePlay, DrawingThread, EventDispatcher). Operations that
// talk to the device (Open, Close, PlayLive, PlayControl) are serialised by one lock that no thread
// of the library ever waits for. No exception leaves an operation: it becomes InternalFailure and
// an OnError.
class VelkorLibrary final : public DeviceLibrary
{
public:
    VelkorLibrary();
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
    // What the play counts, for tests and benchmarks.
    LiveStatistics& statistics() { return *m_drawing.statistics(); }

private:
    template <typename Operation> int32_t guarded(const char* operation, Operation&& body) noexcept;
    // Open, Close, PlayLive and PlayControl: one at a time, under the operation lock.
    template <typename Operation> int32_t serialised(Operation&& body);
    int32_t internalFailure(const char* operation, const char* what) noexcept;
    int32_t open();
    int32_t close();
    // A setter of a value live play depends on: a change that was accepted reaches the stream.
    int32_t setForLive(const char* operation, int32_t (Settings::*set)(int32_t), int32_t value,
                       bool formatChanged);
    int32_t registerListener(IAppListener* listener);

    Settings m_settings;
    EventDispatcher m_dispatcher;
    DrawingThread m_drawing;
    // Requested at exit: ends an Open that waits for the device.
    std::stop_source m_exiting;
    PlayCallbacks m_callbacks;
    DeviceEventReporter m_deviceEvents{m_dispatcher, m_callbacks};
    Session m_session{m_dispatcher, m_deviceEvents};
    LivePlay m_play{m_session, [this] { return m_settings.snapshot(); }, m_dispatcher, m_drawing,
                    m_callbacks};

    std::mutex m_operationMutex;
};

} // namespace velkor
