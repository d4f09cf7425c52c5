#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace velkor
{

class RedirectGuard;

// Where libav's log lines of one camera stream go, instead of the host's standard error: the
// library's texts about that stream quote the last of them. Lines come through the process's one
// av_log callback, on the thread that logs them; a thread that listens to no LibavLog (the
// host's own use of libav, libavcodec's slice threads) keeps libav's own callback.
// Some of what libavformat does it says only in its log, and the log hears it first: that RTSP is
// about to follow a redirect (said before it connects anywhere), the Location of an HTTP redirect
// (logged as the header is read, before the next connection), and that a parser's picture outgrew
// the largest allocation libavutil makes, after which the parser drops it. A redirect the
// RedirectGuard refuses is stopped where it is heard: the logging context's protocol whitelist is
// emptied, so its next connection fails before a socket exists.
class LibavLog
{
public:
    // Lines of this thread, warnings and worse, go to `log` while the object lives.
    class Listening
    {
    public:
        explicit Listening(LibavLog& log);
        ~Listening();
        Listening(const Listening&) = delete;
        Listening& operator=(const Listening&) = delete;

    private:
        LibavLog* m_previous;
    };

    // `secrets` (credentials) are never repeated: a line that holds one shows "***" instead.
    // `redirects`, when given, decides each redirect heard; it is touched only on the threads that
    // listen, one at a time.
    explicit LibavLog(std::vector<std::string> secrets = {}, RedirectGuard* redirects = nullptr);

    // Sets the process's callback; once.
    static void install();
    // The last line, without its end of line; empty when none came.
    std::string last() const;
    // Pictures a parser dropped because they outgrew the largest allocation.
    std::uint64_t outgrown() const { return m_outgrown.load(std::memory_order_relaxed); }

private:
    static void callback(void* context, int level, const char* format, va_list arguments);
    void notice(void* context, const char* format, va_list arguments);
    void httpHeader(void* context, std::string_view line);
    void redirect(void* context, std::string_view location);
    void add(std::string line);

    const std::vector<std::string> m_secrets;
    RedirectGuard* const m_redirects;
    std::atomic<std::uint64_t> m_outgrown{0};
    mutable std::mutex m_mutex;
    std::string m_last;
};

} // namespace velkor
