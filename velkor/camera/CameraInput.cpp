#include "velkor/camera/CameraInput.h"

#include "velkor/camera/CameraCredentials.h"
#include "velkor/camera/LibavLog.h"
#include "velkor/camera/RedirectGuard.h"

#include <stop_token>

extern "C"
{
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
}

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace velkor
{

struct CameraInput::State
{
    State(std::string address, const AVInputFormat* inputFormat)
        : url(std::move(address)), format(inputFormat),
          log(CameraCredentials::secretsIn(url), &redirects)
    {
        redirects.restart(url);
    }
    ~State()
    {
        watched = nullptr;
        avformat_close_input(&context);
        av_dict_free(&options);
    }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

    const std::string url;
    const AVInputFormat* const format;
    // Touched by the thread in libav for the input: the opening one, then the one that plays.
    RedirectGuard redirects;
    LibavLog log;
    // The context being opened or played, for the interrupt callback; null once freed.
    AVFormatContext* watched = nullptr;
    std::mutex mutex;
    std::condition_variable changed;
    // Under the mutex.
    bool done = false;
    bool abandoned = false;
    int result = 0;
    AVFormatContext* context = nullptr;
    AVDictionary* options = nullptr;
    // Read by the interrupt callback.
    std::atomic<bool> stopped{false};
    std::atomic<bool> closing{false};
    std::atomic<Clock::rep> deadline{0};
};

CameraInput::CameraInput(std::stop_token stop) : m_stop(std::move(stop))
{
    LibavLog::install();
}

CameraInput::~CameraInput()
{
    close();
}

int CameraInput::open(const std::string& url, const AVInputFormat* format, AVDictionary** options,
                      Clock::duration patience)
{
    close();
    auto state = std::make_shared<State>(url, format);
    state->deadline = (Clock::now() + patience).time_since_epoch().count();
    av_dict_copy(&state->options, *options, 0);
    m_state = state;
    // Called at once when the stop came already.
    m_wake.emplace(m_stop,
                   [state]
                   {
                       {
                           const std::lock_guard lock(state->mutex);
                           state->stopped = true;
                       }
                       state->changed.notify_all();
                   });
    std::thread([state] { openOnItsOwn(state); }).detach();

    std::unique_lock lock(state->mutex);
    state->changed.wait(lock, [&] { return state->done || state->stopped; });
    if (!state->done)
    {
        state->abandoned = true;
        m_state.reset();
        return AVERROR_EXIT;
    }
    av_dict_free(options);
    std::swap(*options, state->options);
    return state->result;
}

AVFormatContext* CameraInput::context() const
{
    return m_state ? m_state->context : nullptr;
}

LibavLog* CameraInput::log() const
{
    return m_state ? &m_state->log : nullptr;
}

void CameraInput::close()
{
    if (m_state && m_state->context != nullptr)
    {
        // Time for an RTSP camera's TEARDOWN, even after a stop, so that it stops sending.
        m_state->closing = true;
        expectBy(kGoodbye);
        const LibavLog::Listening listening(m_state->log);
        avformat_close_input(&m_state->context);
        m_state->watched = nullptr;
    }
}

void CameraInput::expectBy(Clock::duration wait)
{
    if (m_state)
    {
        m_state->deadline = (Clock::now() + wait).time_since_epoch().count();
    }
}

bool CameraInput::overdue() const
{
    return m_state && Clock::now().time_since_epoch().count() > m_state->deadline.load();
}

std::string CameraInput::redirectRefusal() const
{
    return m_state ? m_state->redirects.refusal() : std::string();
}

int CameraInput::interrupted(void* context)
{
    auto* state = static_cast<State*>(context);
    // Should a redirect get past the log, where it is stopped before it connects, it is stopped
    // here, before a word goes to where it leads.
    const AVFormatContext* watched = state->watched;
    if (watched != nullptr && watched->url != nullptr && !state->redirects.knows(watched->url))
    {
        state->redirects.follow(watched->url);
    }
    const bool overdue = Clock::now().time_since_epoch().count() > state->deadline.load();
    return overdue || state->redirects.refused() ||
                   (state->stopped.load() && !state->closing.load())
               ? 1
               : 0;
}

void CameraInput::openOnItsOwn(const std::shared_ptr<State>& state)
{
    const LibavLog::Listening listening(state->log);
    AVFormatContext* context = avformat_alloc_context();
    int result = AVERROR(ENOMEM);
    if (context != nullptr)
    {
        context->interrupt_callback = AVIOInterruptCB{&CameraInput::interrupted, state.get()};
        state->watched = context;
        // Frees the context when it fails.
        result = avformat_open_input(&context, state->url.c_str(), state->format, &state->options);
        state->watched = result >= 0 ? context : nullptr;
    }
    bool abandoned = false;
    {
        const std::lock_guard lock(state->mutex);
        state->done = true;
        state->result = result;
        state->context = result >= 0 ? context : nullptr;
        abandoned = state->abandoned;
    }
    state->changed.notify_all();
    if (abandoned && state->context != nullptr)
    {
        state->closing = true;
        state->deadline = (Clock::now() + kGoodbye).time_since_epoch().count();
        avformat_close_input(&state->context);
        state->watched = nullptr;
    }
}

} // namespace velkor
