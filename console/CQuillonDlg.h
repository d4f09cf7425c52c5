#pragma once

#include "console/CAppListener.h"
#include "console/LogText.h"
#include "framework/CButton.h"
#include "framework/CComboBox.h"
#include "framework/CDialog.h"
#include "framework/CEdit.h"

#include <QIcon>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

class ChoiceList;
class DeviceLibrary;

// The test console: one property per row with its Set button, live start and stop of one channel
// into the video area, and the operation log of every library call, event and callback.
class CQuillonDlg : public CDialog
{
public:
    CQuillonDlg();
    ~CQuillonDlg() override;
    CQuillonDlg(const CQuillonDlg&) = delete;
    CQuillonDlg& operator=(const CQuillonDlg&) = delete;

    // Adds one line to the log text: "[%04d] " with the line's number, then `format` filled with
    // the values. The number is not the caller's, so it stays out of the format the compiler
    // checks. The controls are not touched.
    __attribute__((format(printf, 2, 3))) void AddLogLine(const char* format, ...);

    // The icon shown while the minimised window is dragged.
    [[nodiscard]] QIcon OnQueryDragIcon() const { return m_Icon; }

    // Where the icon is drawn in a minimised window's client area.
    static QPoint IconPosition(int clientWidth, int clientHeight, int iconWidth, int iconHeight);

    // Button handlers, reached through the event table.
    void OnSetIPAddr();
    void OnSetHttpPort();
    void OnSetUserName();
    void OnSetPassword();
    void OnSetDeviceType();
    void OnSetStreamFormat();
    void OnSetJPEGResolution();
    void OnSetMPEG4Resolution();
    void OnSetH264Resolution();
    void OnStartLive();
    void OnStopLive();

    DeviceLibrary* m_Library = nullptr;
    int32_t m_IsLive = 0;
    int32_t m_PlayMode = 0;
    int32_t m_SentDeviceType = 0;
    int32_t m_SentStreamFormat = 0;
    int32_t m_SentJPEGResolution = 0;
    int32_t m_SentMPEG4Resolution = 0;
    int32_t m_SentH264Resolution = 0;
    CAppListener& m_Listener;
    std::string m_LogLine;
    int32_t m_LogCount = 0;
    QIcon m_Icon;
    CComboBox m_DeviceTypeList;
    CComboBox m_StreamFormatList;
    CComboBox m_JPEGResolutionList;
    CComboBox m_MPEG4ResolutionList;
    CEdit m_LogEdit;
    std::string m_IPAddr;
    int32_t m_HttpPort = 0;
    std::string m_UserName;
    std::string m_Password;
    int32_t m_Channel = 1;
    int32_t m_UID = 0;
    std::array<CButton, 8> m_SetButtons;
    CButton m_StartLiveButton;
    CButton m_StopLiveButton;
    LogText m_LogText;
    CComboBox m_H264ResolutionList;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnUndeliveredMessage(const PostedMessage& message) override;
    void OnPostedRoundEnd(std::size_t taken) override;
    void OnCommand(int controlId) override;
    void OnPaint() override;

private:
    using TextSetter = int32_t (DeviceLibrary::*)(const char*);
    using TextGetter = int32_t (DeviceLibrary::*)(char*, int32_t);
    using CodeSetter = int32_t (DeviceLibrary::*)(int32_t);
    using CodeGetter = int32_t (DeviceLibrary::*)();

    struct TextProperty
    {
        const char* label;
        const char* emptyMessage; // null: an empty text is sent
        TextSetter setter;
        TextGetter getter;
    };

    struct ListProperty
    {
        const ChoiceList& choices;
        const char* noSelectionMessage;
        CodeSetter setter;
        CodeGetter getter;
    };

    // The library's result, or nothing when the input was refused before any call.
    std::optional<int32_t> SendText(std::string& value, const TextProperty& property);
    std::optional<int32_t> SendListCode(CComboBox& list, int32_t& sent,
                                        const ListProperty& property);
    void StartLive();
    void StopLive();
    IAppCallBack* LiveCallBack();
    std::string ReadLibraryText(TextGetter getter);
    void FillAndShow(CComboBox& list, const ChoiceList& choices, CodeGetter getter);
    void ExchangeLogText(bool saveAndValidate);
    [[nodiscard]] HWND VideoWindow() const;
    void CloseForMissingLibrary();
};
