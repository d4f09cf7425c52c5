#pragma once

#include "LiveObserver.h"

class IAppCallBack;

namespace velkor
{

class EventDispatcher;

// Turns a live stream's reports into listener events (OnPlayStatus, OnImage, OnError) and, for
// play started with a play mode, IAppCallBack calls, all on the dispatcher thread.
class LiveReporter final : public LiveObserver
{
public:
    LiveReporter(EventDispatcher& dispatcher, int32_t channel, IAppCallBack* callback);

    void onPlaying() override;
    void onPictureSize(int width, int height, std::size_t bytes) override;
    void onFrameError(int32_t code, const std::string& description) override;
    void onPartDone(const PartOutcome& outcome) override;
    void onEnded(int32_t code, const std::string& description) override;

private:
    void reportPlayStatus(int32_t status);

    EventDispatcher& m_dispatcher;
    const int32_t m_channel;
    IAppCallBack* const m_callback;
};

} // namespace velkor
