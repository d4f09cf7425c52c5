#include "velkor/camera/LibavLog.h"

#include "common/AsciiText.h"
#include "velkor/camera/CameraText.h"
#include "velkor/camera/RedirectGuard.h"

extern "C"
{
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace velkor
{
namespace
{

// libavformat's own words (5.x and later), matched as the format strings it logs them with.
constexpr std::string_view kRtspRedirect = "Status %d: Redirecting to %s\n";
constexpr std::string_view kHttpHeader = "header='%s'\n";
constexpr std::string_view kOutgrown = "Failed to reallocate parser buffer";
// Tracks beyond the first video track, left out as asked: no fault worth quoting.
constexpr std::string_view kMoreStreams = "Number of streams exceeds max_streams";

thread_local LibavLog* t_listener = nullptr;
// The status of the HTTP answer whose header lines this thread reads.
thread_local int t_httpStatus = 0;

void refuseNextConnection(void* context)
{
    if (context != nullptr && av_opt_find(context, "protocol_whitelist", nullptr, 0, 0) != nullptr)
    {
        av_opt_set(context, "protocol_whitelist", "none", 0);
    }
}

} // namespace

LibavLog::Listening::Listening(LibavLog& log) : m_previous(t_listener)
{
    t_listener = &log;
    t_httpStatus = 0;
}

LibavLog::Listening::~Listening()
{
    t_listener = m_previous;
}

LibavLog::LibavLog(std::vector<std::string> secrets, RedirectGuard* redirects)
    : m_secrets(std::move(secrets)), m_redirects(redirects)
{
}

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
    if (format != nullptr)
    {
        log->notice(context, format, arguments);
    }
    if (level > AV_LOG_WARNING ||
        (format != nullptr && std::string_view(format).starts_with(kMoreStreams)))
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

void LibavLog::notice(void* context, const char* format, va_list arguments)
{
    va_list copy;
    va_copy(copy, arguments);
    if (m_redirects != nullptr && format == kRtspRedirect)
    {
        static_cast<void>(va_arg(copy, int));
        const char* location = va_arg(copy, const char*);
        redirect(context, location != nullptr ? location : "");
    }
    else if (m_redirects != nullptr && format == kHttpHeader)
    {
        const char* line = va_arg(copy, const char*);
        httpHeader(context, line != nullptr ? line : "");
    }
    else if (std::string_view(format).starts_with(kOutgrown))
    {
        m_outgrown.fetch_add(1, std::memory_order_relaxed);
    }
    va_end(copy);
}

void LibavLog::httpHeader(void* context, std::string_view line)
{
    if (common::AsciiText::startsWithNoCase(line, "HTTP/"))
    {
        const auto space = line.find(' ');
        t_httpStatus = space == std::string_view::npos
                           ? 0
                           : std::atoi(std::string(line.substr(space + 1, 3)).c_str());
    }
    else if (t_httpStatus >= 300 && t_httpStatus < 400 &&
             common::AsciiText::startsWithNoCase(line, "Location:"))
    {
        redirect(context, common::AsciiText::trim(line.substr(9)));
    }
}

void LibavLog::redirect(void* context, std::string_view location)
{
    if (!m_redirects->follow(location))
    {
        refuseNextConnection(context);
    }
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
    // A line may quote the camera (a reason phrase, a header).
    std::string trimmed = CameraText::printable(common::AsciiText::trim(line));
    if (trimmed.empty())
    {
        return;
    }
    const std::lock_guard lock(m_mutex);
    m_last = std::move(trimmed);
}

} // namespace velkor
