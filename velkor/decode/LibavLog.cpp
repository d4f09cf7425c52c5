#include "velkor/decode/LibavLog.h"

#include "common/AsciiText.h"

extern "C"
{
#include <libavutil/log.h>
}

#include <cstdarg>
#include <cstdio>

namespace velkor
{
namespace
{

thread_local LibavLog* t_listener = nullptr;

} // namespace

LibavLog::Listening::Listening(LibavLog& log) : m_previous(t_listener)
{
    t_listener = &log;
}

LibavLog::Listening::~Listening()
{
    t_listener = m_previous;
}

LibavLog::LibavLog(std::vector<std::string> secrets) : m_secrets(std::move(secrets)) {}

void LibavLog::install()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(&LibavLog::callback); });
}

std::string LibavLog::last() const
{
    const std::lock_guard lock(m_mutex);
    return m_last;
}

void LibavLog::callback(void* context, int level, const char* format, va_list arguments)
{
    LibavLog* log = t_listener;
    if (log == nullptr)
    {
        av_log_default_callback(context, level, format, arguments);
        return;
    }
    if (level > AV_LOG_WARNING)
    {
        return;
    }
    char line[512];
    // Without the "[tcp @ 0x...]" prefix, whose address says nothing to a reader; the part of
    // libav that spoke is named instead.
    int prefix = 0;
    av_log_format_line2(context, level, format, arguments, line, sizeof line, &prefix);
    const AVClass* const* kind = static_cast<const AVClass* const*>(context);
    const char* name = kind != nullptr && *kind != nullptr ? (*kind)->item_name(context) : nullptr;
    log->add(name != nullptr ? std::string(name) + ": " + line : std::string(line));
}

void LibavLog::add(std::string line)
{
    for (const std::string& secret : m_secrets)
    {
        for (std::size_t at = 0;
             !secret.empty() && (at = line.find(secret, at)) != std::string::npos;)
        {
            line.replace(at, secret.size(), "***");
            at += 3;
        }
    }
    std::string trimmed(AsciiText::trim(line));
    if (trimmed.empty())
    {
        return;
    }
    const std::lock_guard lock(m_mutex);
    m_last = std::move(trimmed);
}

} // namespace velkor
