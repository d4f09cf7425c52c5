#include "console/CQuillonDlg.h"
#include "console/ChoiceList.h"
#include "devicelib/DeviceLibrary.h"
#include "framework/MessageBox.h"
#include "res/resource.h"

#include <QTimer>
#include <array>
#include <cstring>

namespace
{
constexpr int kWindowWidth = 965;
constexpr int kWindowHeight = 610;
constexpr int kVideoWidth = 640;
constexpr int kVideoHeight = 480;
constexpr int32_t kTextBufferSize = 256;
} // namespace

HWND CQuillonDlg::VideoWindow() const
{
    return GetDlgItem(IDC_VIDEO).GetSafeHwnd();
}

std::string CQuillonDlg::ReadLibraryText(TextGetter getter)
{
    std::array<char, kTextBufferSize> buffer{};
    (m_Library->*getter)(buffer.data(), kTextBufferSize);
    // A library that fills the whole buffer without a terminating zero is read no further.
    return {buffer.data(), strnlen(buffer.data(), buffer.size())};
}

void CQuillonDlg::FillAndShow(CComboBox& list, const ChoiceList& choices, CodeGetter getter)
{
    choices.Fill(list);
    choices.Show(list, (m_Library->*getter)());
}

void CQuillonDlg::CloseForMissingLibrary()
{
    AfxMessageBox("The device library libvelkor.so provided no library object "
                  "(GetVelkorAPI returned nothing). The console cannot work without it and "
                  "will close.",
                  this);
    QTimer::singleShot(0, this, [this] { EndDialog(IDCANCEL); });
}

bool CQuillonDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    setWindowIcon(m_Icon);

    MoveWindow(0, 0, kWindowWidth, kWindowHeight);
    GetDlgItem(IDC_VIDEO).SetWindowPos(0, 0, kVideoWidth, kVideoHeight,
                                       WindowPosFlag::SWP_NOMOVE | WindowPosFlag::SWP_SHOWWINDOW);

    m_Library = GetVelkorAPI();
    if (m_Library == nullptr)
    {
        CloseForMissingLibrary();
        return true;
    }
    m_IsLive = 0;
    m_PlayMode = 0;
    m_StartLiveButton.EnableWindow(true);
    m_StopLiveButton.EnableWindow(false);

    m_LogCount = 0;
    if (GetSafeHwnd() != 0)
    {
        m_Listener.m_hTargetWnd.store(GetSafeHwnd());
    }

    // Slot198: a preferred picture width, the video area's. The stand-in checks it (1 to 16384)
    // and keeps nothing: it draws at the window's own size.
    m_Library->Slot198(kVideoWidth);
    // Slot196: the matching preferred height, checked and not kept in the same way.
    m_Library->Slot196(kVideoHeight);
    m_Library->SetVideoWindow(VideoWindow());
    m_Library->ClearImage();

    UpdateData(true);
    m_IPAddr = ReadLibraryText(&DeviceLibrary::GetIPAddr);
    m_HttpPort = m_Library->GetHttpPort();
    FillAndShow(m_DeviceTypeList, ChoiceList::DeviceTypes(), &DeviceLibrary::GetDeviceType);
    FillAndShow(m_StreamFormatList, ChoiceList::StreamFormats(), &DeviceLibrary::GetStreamFormat);
    FillAndShow(m_JPEGResolutionList, ChoiceList::JPEGResolutions(),
                &DeviceLibrary::GetJPEGResolution);
    FillAndShow(m_MPEG4ResolutionList, ChoiceList::MPEG4Resolutions(),
                &DeviceLibrary::GetMPEG4Resolution);
    FillAndShow(m_H264ResolutionList, ChoiceList::H264Resolutions(),
                &DeviceLibrary::GetH264Resolution);
    m_UID = m_Library->GetUID();
    UpdateData(false);

    IAppListener* listener = &m_Listener;
    // Slot220: meaning unknown, given 0; the stand-in accepts and ignores it.
    m_Library->Slot220(0);
    // Slot042: registers the listener; the stand-in adds it to its one list of listeners.
    m_Library->Slot042(listener);
    // Slot328: meaning unknown, given 0; accepted and ignored.
    m_Library->Slot328(0);
    // Slot296: registers the same listener again; the stand-in's one list keeps it once, so it
    // hears each event once.
    m_Library->Slot296(listener);
    // Slot066: meaning unknown, given 0; accepted and ignored.
    m_Library->Slot066(0);
    // Slot332: meaning unknown, given 0; accepted and ignored.
    m_Library->Slot332(0);
    // Slot298: meaning unknown, given 0 and 1; accepted and ignored.
    m_Library->Slot298(0, 1);

    UpdateData(true);
    AddLogLine("Quillon.exe finish initialization.");
    AddLogLine("+-+-+-+ Quillon +-+-+-+");
    UpdateData(false);
    return true;
}
