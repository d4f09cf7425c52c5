#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

struct AVDictionary;
struct AVFormatContext;
struct AVInputFormat;

namespace velkor
{

class LibavLog;

// One libavformat input of a camera. libavformat opens it with a name lookup (getaddrinfo) that
// its interrupt callback cannot cut short, and a silent name server holds that for some 10 s: so
// it is opened on a thread of its own, which a stop leaves behind. That thread owns everything it
// touches (the URL, the options, the context being opened) and touches nothing of the library,
// so it may finish, and clean up after itself, whenever the lookup ends, even after the process
// began to leave. Every wait on the network ends when the stop is requested or the deadline set
// by expectBy() has passed; closing gives a camera's TEARDOWN kGoodbye even after a stop. A
// redirect is followed only to the camera itself, a few times (RedirectGuard, asked by the log).
class CameraInput
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kGoodbye{300};

    explicit CameraInput(std::stop_token stop);
    ~CameraInput();
    CameraInput(const CameraInput&) = delete;
    CameraInput& operator=(const CameraInput&) = delete;

    // avformat_open_input's result (AVERROR_EXIT once stopped), given `patience` to answer.
    // `options` are handed to it, and on return hold those it did not use.
    int open(const std::string& url, const AVInputFormat* format, AVDictionary** options,
             Clock::duration patience);
    // Null unless open() succeeded.
    AVFormatContext* context() const;
    // Where libav's lines about the input go (LibavLog::Listening); null before open().
    LibavLog* log() const;
    void close();

    void expectBy(Clock::duration wait);
    bool overdue() const;
    // Why a redirect of the last open() was refused (RedirectGuard); empty when none was.
    std::string redirectRefusal() const;

private:
    struct State;
    static int interrupted(void* context);
    static void openOnItsOwn(const std::shared_ptr<State>& state);

    std::stop_token m_stop;
    std::shared_ptr<State> m_state;
    // Wakes the wait for the opening; holds the state, since a stop may come while the opening
    // thread is left behind.
    std::optional<std::stop_callback<std::function<void()>>> m_wake;
};

} // namespace velkor
