#include "velkor/LiveReporter.h"

#include "devicelib/IAppCallBack.h"
#include "velkor/EventDispatcher.h"
#include "velkor/PlayCallbacks.h"
#include "velkor/ResultCode.h"

#include <algorithm>
#include <limits>

namespace velkor
{

LiveReporter::LiveReporter(EventDispatcher& dispatcher, int32_t channel,
                           const PlayCallbacks& callbacks, Hooks hooks)
    : m_dispatcher(dispatcher), m_channel(channel), m_callbacks(callbacks),
      m_hooks(std::move(hooks))
{
}

void LiveReporter::onPlaying()
{
    reportPlayStatus(1);
}

void LiveReporter::onPictureSize(int width, int height, std::size_t bytes)
{
    const int32_t packed = width * 65536 + height;
    const auto size =
        static_cast<int32_t>(std::min<std::size_t>(bytes, std::numeric_limits<int32_t>::max()));
    m_dispatcher.post([packed, size](IAppListener& listener)
                      { listener.OnImage(0, packed, size); });
    if (!m_sawPicture && m_hooks.picturesFlow)
    {
        m_hooks.picturesFlow();
    }
    m_sawPicture = true;
}

void LiveReporter::onFrameError(int32_t code, const std::string& description)
{
    m_dispatcher.postError(code, description);
}

void LiveReporter::onPartDone(const PartOutcome& /*outcome*/) {}

void LiveReporter::onEnded(int32_t code, const std::string& description)
{
    if (code != Ok)
    {
        onFrameError(code, description);
    }
    reportPlayStatus(0);
    if (code == StreamLost && m_hooks.lost)
    {
        m_hooks.lost();
    }
}

void LiveReporter::reportPlayStatus(int32_t status)
{
    const int32_t channel = m_channel;
    m_dispatcher.post(
        [channel, status](IAppListener& listener) { listener.OnPlayStatus(channel, status); },
        m_callbacks.bind([status](IAppCallBack& callback) { callback.OnPlayStatusCB(status); }));
}

} // namespace velkor
