#pragma once

#include "velkor/report/LiveObserver.h"

#include <functional>

namespace velkor
{

class EventDispatcher;
class PlayCallbacks;

// Turns a live stream's reports into listener events (OnPlayStatus, OnImage, OnError) and, for
// play started with a callback, IAppCallBack calls, all on the dispatcher thread. OnPlayStatus
// comes in pairs: 0 once after each 1. The library hears through the hooks, on the stream's
// thread, when pictures flow, when the stream broke off in a way worth trying again (lost), and
// when it ended the play (refused, malformed, or a failure of the library's own).
class LiveReporter final : public LiveObserver
{
public:
    struct Hooks
    {
        std::function<void()> picturesFlow;
        std::function<void()> lost;
        std::function<void()> ended;
        // When set, a stream lost before it played was an attempt to bring play back that
        // failed: it is told here alone, with no event.
        std::function<void()> attemptFailed;
    };

    LiveReporter(EventDispatcher& dispatcher, int32_t channel, PlayCallbacks& callbacks,
                 Hooks hooks = {});

    void onPlaying() override;
    void onPictureSize(int width, int height, std::size_t bytes) override;
    void onFrameError(int32_t code, const std::string& description) override;
    void onEnded(int32_t code, const std::string& description) override;

private:
    void reportPlayStatus(int32_t status);

    EventDispatcher& m_dispatcher;
    const int32_t m_channel;
    PlayCallbacks& m_callbacks;
    const Hooks m_hooks;
    bool m_sawPicture = false;
    bool m_playing = false;
};

} // namespace velkor
