#pragma once

#include "velkor/LiveObserver.h"

#include <functional>

namespace velkor
{

class EventDispatcher;
class PlayCallbacks;

// Turns a live stream's reports into listener events (OnPlayStatus, OnImage, OnError) and, for
// play started with a callback, IAppCallBack calls, all on the dispatcher thread. The library
// hears through the hooks, on the stream's thread, when pictures flow and when the stream broke
// off in a way worth trying again.
class LiveReporter final : public LiveObserver
{
public:
    struct Hooks
    {
        std::function<void()> picturesFlow;
        std::function<void()> lost;
    };

    LiveReporter(EventDispatcher& dispatcher, int32_t channel, const PlayCallbacks& callbacks,
                 Hooks hooks = {});

    void onPlaying() override;
    void onPictureSize(int width, int height, std::size_t bytes) override;
    void onFrameError(int32_t code, const std::string& description) override;
    void onPartDone(const PartOutcome& outcome) override;
    void onEnded(int32_t code, const std::string& description) override;

private:
    void reportPlayStatus(int32_t status);

    EventDispatcher& m_dispatcher;
    const int32_t m_channel;
    const PlayCallbacks& m_callbacks;
    const Hooks m_hooks;
    bool m_sawPicture = false;
};

} // namespace velkor
