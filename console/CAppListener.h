#pragma once

#include "devicelib/IAppCallBack.h"
#include "devicelib/IAppListener.h"
#include "framework/WinTypes.h"

#include <atomic>
#include <string>

// Message number of a log text posted to the console window: wParam carries a heap buffer
// (new char[]) holding a zero-terminated text, which the receiver deletes; lParam is 0.
inline constexpr UINT WM_LOGTEXT = WM_USER + 1;

// The console's listener: turns every event and callback of the library into one line of text
// and posts it to the target window. Called from any of the library's threads; never waits.
class CAppListener : public IAppListener, public IAppCallBack
{
public:
    CAppListener() = default;
    ~CAppListener() override;
    CAppListener(const CAppListener&) = delete;
    CAppListener& operator=(const CAppListener&) = delete;

    // A listener whose storage lives until the process ends, so that a library which still holds
    // it after its console is gone calls into valid memory (and, with no target, posts nothing).
    static CAppListener& CreateLasting();

    void OnError(int32_t errorCode, const char* description) override;
    void OnDevStatus(int32_t channel, int32_t status) override;
    void OnRecStatus(int32_t channel, int32_t status) override;
    void OnAlmStatus(int32_t channel, int32_t type, const char* timeDate, int32_t status) override;
    void OnPlayStatus(int32_t channel, int32_t status) override;
    void OnOpStatus(int32_t channel, int32_t status) override;
    void OnImage(int32_t type, int32_t unused, int32_t size) override;

    void OnAlmStatusCB(int32_t status) override;
    void OnRecCB(int32_t status) override;
    void OnSearchCB() override;
    void OnSearchExCB() override;
    void OnOpStatusCB(int32_t status) override;
    void OnPlayStatusCB(int32_t status) override;
    void OnFtpStatusCB(int32_t Status) override;

    // Written on the window's thread, read on the library's threads before each post.
    std::atomic<HWND> m_hTargetWnd{0};

    // The longest text a post carries; longer ones are cut.
    static constexpr std::size_t kMaxPostedLength = 1023;

private:
    void PostLogText(const std::string& text);
};
