#include "console/CQuillonDlg.h"

#include "framework/CDataExchange.h"
#include "framework/DataExchange.h"
#include "framework/FormatText.h"
#include "framework/PostedMessage.h"
#include "res/AppIcon.h"
#include "res/ConsoleTemplate.h"
#include "res/resource.h"

#include <malloc.h>

#include <QPainter>
#include <QStyle>
#include <cstdarg>
#include <memory>
#include <utility>

namespace
{
// Rounds of posted messages this long come from a burst of events.
constexpr std::size_t kBurstRound = 10000;

using Handler = void (CQuillonDlg::*)();

// The event table: which handler each button's click reaches.
constexpr std::pair<int, Handler> kCommands[] = {
    {IDC_SET_IPADDR, &CQuillonDlg::OnSetIPAddr},
    {IDC_SET_HTTPPORT, &CQuillonDlg::OnSetHttpPort},
    {IDC_SET_USERNAME, &CQuillonDlg::OnSetUserName},
    {IDC_SET_PASSWORD, &CQuillonDlg::OnSetPassword},
    {IDC_SET_DEVICETYPE, &CQuillonDlg::OnSetDeviceType},
    {IDC_SET_STREAMFORMAT, &CQuillonDlg::OnSetStreamFormat},
    {IDC_SET_JPEGRESOLUTION, &CQuillonDlg::OnSetJPEGResolution},
    {IDC_SET_MPEG4RESOLUTION, &CQuillonDlg::OnSetMPEG4Resolution},
    {IDC_SET_H264RESOLUTION, &CQuillonDlg::OnSetH264Resolution},
    {IDC_START_LIVE, &CQuillonDlg::OnStartLive},
    {IDC_STOP_LIVE, &CQuillonDlg::OnStopLive},
};
} // namespace

CQuillonDlg::CQuillonDlg()
    : CDialog(ConsoleTemplate()), m_Listener(CAppListener::CreateLasting()), m_Icon(LoadAppIcon())
{
}

CQuillonDlg::~CQuillonDlg()
{
    // The library keeps the listener; from now on what it reports is dropped.
    m_Listener.m_hTargetWnd.store(0);
    DestroyWindow();
}

void CQuillonDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DEVICETYPE, m_DeviceTypeList);
    DDX_Control(pDX, IDC_STREAMFORMAT, m_StreamFormatList);
    DDX_Control(pDX, IDC_JPEGRESOLUTION, m_JPEGResolutionList);
    DDX_Control(pDX, IDC_MPEG4RESOLUTION, m_MPEG4ResolutionList);
    DDX_Control(pDX, IDC_LOG, m_LogEdit);
    DDX_Text(pDX, IDC_IPADDR, m_IPAddr);
    DDX_Text(pDX, IDC_HTTPPORT, m_HttpPort);
    DDX_Text(pDX, IDC_USERNAME, m_UserName);
    DDX_Text(pDX, IDC_PASSWORD, m_Password);
    DDX_Text(pDX, IDC_CHANNEL, m_Channel);
    DDX_Text(pDX, IDC_UID, m_UID);
    for (std::size_t i = 0; i < m_SetButtons.size(); ++i)
    {
        DDX_Control(pDX, IDC_SET_IPADDR + static_cast<int>(i), m_SetButtons.at(i));
    }
    DDX_Control(pDX, IDC_START_LIVE, m_StartLiveButton);
    DDX_Control(pDX, IDC_STOP_LIVE, m_StopLiveButton);
    DDX_Text(pDX, IDC_LOG, m_LogText);
    DDX_Control(pDX, IDC_H264RESOLUTION, m_H264ResolutionList);
}

void CQuillonDlg::OnCommand(int controlId)
{
    for (const auto& [id, handler] : kCommands)
    {
        if (id == controlId)
        {
            (this->*handler)();
            return;
        }
    }
}

void CQuillonDlg::AddLogLine(const char* format, ...)
{
    ++m_LogCount;
    va_list values;
    va_start(values, format);
    m_LogLine = FormatText("[%04d] ", m_LogCount) + FormatTextV(format, values);
    va_end(values);
    m_LogText.prepend(m_LogLine);
}

void CQuillonDlg::ExchangeLogText(bool saveAndValidate)
{
    CDataExchange exchange(this, saveAndValidate);
    DDX_Text(&exchange, IDC_LOG, m_LogText);
}

LRESULT CQuillonDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_LOGTEXT)
    {
        return CDialog::WindowProc(message, wParam, lParam);
    }
    // The buffer is ours now. Only the log field is read and written: a posted line must never
    // open a message box or replace what the user is typing in another field.
    const std::unique_ptr<char[]> buffer(reinterpret_cast<char*>(wParam));
    if (buffer == nullptr || buffer[0] == '\0')
    {
        return 0;
    }
    const std::string text(buffer.get());
    ExchangeLogText(true);
    AddLogLine("%s", text.c_str());
    ExchangeLogText(false);
    return 0;
}

void CQuillonDlg::OnUndeliveredMessage(const PostedMessage& message)
{
    if (message.message == WM_LOGTEXT)
    {
        delete[] reinterpret_cast<char*>(message.wParam);
    }
}

void CQuillonDlg::OnPostedRoundEnd(std::size_t taken)
{
    if (taken >= kBurstRound)
    {
        // The library threads' heap still holds the burst's freed text buffers; hand those pages
        // back rather than keep them for the rest of the run.
        malloc_trim(0);
    }
}

QPoint CQuillonDlg::IconPosition(int clientWidth, int clientHeight, int iconWidth, int iconHeight)
{
    return {(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}

void CQuillonDlg::OnPaint()
{
    if (!IsIconic())
    {
        CDialog::OnPaint();
        return;
    }
    QPainter* painter = BeginPaint();
    if (painter == nullptr)
    {
        return;
    }
    painter->fillRect(rect(), palette().window());
    const int iconSize = style()->pixelMetric(QStyle::PM_LargeIconSize);
    const QPoint at = IconPosition(width(), height(), iconSize, iconSize);
    m_Icon.paint(painter, QRect(at, QSize(iconSize, iconSize)));
}
