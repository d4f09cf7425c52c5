#include "velkor/report/LiveReporter.h"

#include "devicelib/IAppCallBack.h"
#include "velkor/report/EventDispatcher.h"
#include "velkor/report/PlayCallbacks.h"
#include "velkor/report/ResultCode.h"

#include <algorithm>
#include <limits>

namespace velkor
{
namespace
{

// The picture's size is a state of its own: under pressure a newer size replaces an undelivered
// one. Device events' keys (DeviceEventReporter) have a small kind in the upper half, never this.
constexpr std::uint64_t kPictureSizeKey = ~std::uint64_t{0};

} // namespace

LiveReporter::LiveReporter(EventDispatcher& dispatcher, int32_t channel, PlayCallbacks& callbacks,
                           Hooks hooks)
    : m_dispatcher(dispatcher), m_channel(channel), m_callbacks(callbacks),
      m_hooks(std::move(hooks))
{
}

void LiveReporter::onPlaying()
{
    m_playing = true;
    reportPlayStatus(1);
}

void LiveReporter::onPictureSize(int width, int height, std::size_t bytes)
{
    const int32_t packed = width * 65536 + height;
    const auto size =
        static_cast<int32_t>(std::min<std::size_t>(bytes, std::numeric_limits<int32_t>::max()));
    m_dispatcher.postState(kPictureSizeKey, [packed, size](IAppListener& listener)
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

void LiveReporter::onEnded(int32_t code, const std::string& description)
{
    if (code == StreamLost && !m_playing && m_hooks.attemptFailed)
    {
        m_hooks.attemptFailed();
        return;
    }
    if (code != Ok)
    {
        onFrameError(code, description);
    }
    // A stream that never played has no play to end.
    if (m_playing)
    {
        m_playing = false;
        reportPlayStatus(0);
    }
    if (code == StreamLost)
    {
        if (m_hooks.lost)
        {
            m_hooks.lost();
        }
    }
    else if (code != Ok && m_hooks.ended)
    {
        m_hooks.ended();
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
