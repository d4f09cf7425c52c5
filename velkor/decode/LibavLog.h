#pragma once

#include <cstdarg>
#include <mutex>
#include <string>
#include <vector>

namespace velkor
{

// Where libav's log lines of one camera stream go, instead of the host's standard error: the
// library's texts about that stream quote the last of them. Lines come through the process's one
// av_log callback, on the thread that logs them; a thread that listens to no LibavLog (the
// host's own use of libav, libavcodec's slice threads) keeps libav's own callback.
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
    explicit LibavLog(std::vector<std::string> secrets = {});

    // Sets the process's callback; once.
    static void install();
    // The last line, without its end of line; empty when none came.
    std::string last() const;

private:
    static void callback(void* context, int level, const char* format, va_list arguments);
    void add(std::string line);

    const std::vector<std::string> m_secrets;
    mutable std::mutex m_mutex;
    std::string m_last;
};

} // namespace velkor
