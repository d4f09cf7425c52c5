#pragma once

#include "velkor/decode/StreamFormats.h"
#include "velkor/session/Reconnector.h"
#include "velkor/session/SettingsSnapshot.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class IAppCallBack;

namespace velkor
{

class DeviceAccess;
class DrawingThread;
class EventDispatcher;
class PlayCallbacks;
class Session;
class StreamSource;
struct DeviceAnswer;

// Live play of one channel of the session's device, in the stream format and width the settings
// name, following them while it plays. When the device is lost (its stream or its session) play
// waits for it under the no-signal picture and brings it back: the session if it was lost, then
// the stream, as the settings name it by then. Play that ends otherwise (the stream refused or
// malformed, or the device back without the format) stays ended.
class LivePlay
{
public:
    // `settings` reads the properties as they are at the moment.
    LivePlay(Session& session, std::function<SettingsSnapshot()> settings,
             EventDispatcher& dispatcher, DrawingThread& drawing, PlayCallbacks& callbacks);
    ~LivePlay();
    LivePlay(const LivePlay&) = delete;
    LivePlay& operator=(const LivePlay&) = delete;

    // Ok, or the code of the refusal, which is also reported; the outcome of play comes as events.
    int32_t start(int32_t channel, IAppCallBack* callback);
    // Ends play and the waiting for a lost device, at once. The play's callback is dropped; the
    // caller waits for it (PlayCallbacks::waitForDropped) once it holds no lock.
    void stop();
    // A stream setting changed; `formatChanged` when it was the format.
    void retune(bool formatChanged);
    // From any thread: the session was lost.
    void sessionLost();

private:
    bool restore(const std::stop_token& stop);
    void restartSourceLocked();
    // `again`: after a loss, to bring play back.
    void startSourceLocked(bool again = false);
    // Whether the device answers as one whose stream may start again; quiet unless it refuses
    // the credentials.
    bool answers(const DeviceAccess& device, const std::stop_token& stop, DeviceAnswer& answer);
    void sourceLost();
    bool sourceRunningLocked() const;
    static std::string notServed(int32_t format, const std::vector<VideoCodec>& served);
    // The format the settings name if `served` has it, else `fallback` if it has that.
    static std::optional<StreamChoice> choose(const SettingsSnapshot& settings,
                                              const std::vector<VideoCodec>& served,
                                              VideoCodec fallback);
    static int32_t widthFor(VideoCodec codec, const SettingsSnapshot& settings);

    Session& m_session;
    std::function<SettingsSnapshot()> m_settings;
    EventDispatcher& m_dispatcher;
    DrawingThread& m_drawing;
    PlayCallbacks& m_callbacks;

    // Taken by the reconnector too when it brings play back.
    mutable std::mutex m_mutex;
    std::unique_ptr<StreamSource> m_source;
    int32_t m_channel = 0;
    std::vector<VideoCodec> m_formats;
    StreamChoice m_choice;
    // Only the reconnector's thread reads and writes it while play runs.
    bool m_credentialsRefused = false;

    // Last: its thread calls into the members above.
    Reconnector m_reconnector;
};

} // namespace velkor
