#include "console/CAppListener.h"

#include "framework/FormatText.h"
#include "framework/WindowRegistry.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace
{
const char* orNull(const char* text)
{
    return text == nullptr ? "(null)" : text;
}
} // namespace

CAppListener::~CAppListener()
{
    m_hTargetWnd.store(0);
}

CAppListener& CAppListener::CreateLasting()
{
    // Kept reachable on purpose: the library may call a listener after its console has gone.
    static std::mutex mutex;
    static auto* lasting = new std::vector<std::unique_ptr<CAppListener>>();
    const std::lock_guard lock(mutex);
    lasting->push_back(std::make_unique<CAppListener>());
    return *lasting->back();
}

void CAppListener::PostLogText(const std::string& text)
{
    const HWND target = m_hTargetWnd.load();
    if (text.empty() || target == 0)
    {
        return;
    }
    const std::size_t copied = std::min(text.size(), kMaxPostedLength);
    auto* buffer = new char[text.size() + 1];
    std::memcpy(buffer, text.data(), copied);
    buffer[copied] = '\0';
    if (!PostMessage(target, WM_LOGTEXT, reinterpret_cast<WPARAM>(buffer), 0))
    {
        delete[] buffer;
    }
}

void CAppListener::OnError(int32_t errorCode, const char* description)
{
    PostLogText(FormatText("** Event ** OnError(errorCode=%d, description=%s)", errorCode,
                           orNull(description)));
}

void CAppListener::OnDevStatus(int32_t channel, int32_t status)
{
    PostLogText(FormatText("** Event ** OnDevStatus(channel=%d, status=%d)", channel, status));
}

void CAppListener::OnRecStatus(int32_t channel, int32_t status)
{
    PostLogText(FormatText("** Event ** OnRecStatus(channel=%d, status=%d)", channel, status));
}

void CAppListener::OnAlmStatus(int32_t channel, int32_t type, const char* timeDate, int32_t status)
{
    PostLogText(FormatText("** Event ** OnAlmStatus(channel=%d, type=%d, timeDate=%s, status=%d)",
                           channel, type, orNull(timeDate), status));
}

void CAppListener::OnPlayStatus(int32_t channel, int32_t status)
{
    PostLogText(FormatText("** Event ** OnPlayStatus(channel=%d, status=%d)", channel, status));
}

void CAppListener::OnOpStatus(int32_t channel, int32_t status)
{
    PostLogText(FormatText("** Event ** OnOpStatus(channel=%d, status=%d)", channel, status));
}

void CAppListener::OnImage(int32_t type, int32_t /*unused*/, int32_t size)
{
    PostLogText(FormatText("** Event ** OnImage(type=%d, size=%d)", type, size));
}

void CAppListener::OnAlmStatusCB(int32_t status)
{
    PostLogText(FormatText("** Callback ** OnAlmStatusCB(status=%d)", status));
}

void CAppListener::OnRecCB(int32_t status)
{
    PostLogText(FormatText("** Callback ** OnRecCB(status=%d)", status));
}

void CAppListener::OnSearchCB()
{
    PostLogText("** Callback ** OnSearchCB");
}

void CAppListener::OnSearchExCB()
{
    PostLogText("** Callback ** OnSearchExCB");
}

void CAppListener::OnOpStatusCB(int32_t status)
{
    PostLogText(FormatText("** Callback ** OnOpStatusCB(status=%d)", status));
}

void CAppListener::OnPlayStatusCB(int32_t status)
{
    PostLogText(FormatText("** Callback ** OnPlayStatusCB(status=%d)", status));
}

void CAppListener::OnFtpStatusCB(int32_t Status)
{
    PostLogText(FormatText("** Callback ** OnFtpStatusCB(Status=%d)", Status));
}
