#include "console/CQuillonDlg.h"
#include "console/ChoiceList.h"
#include "devicelib/DeviceLibrary.h"
#include "framework/CWaitCursor.h"
#include "framework/MessageBox.h"
#include "res/resource.h"

IAppCallBack* CQuillonDlg::LiveCallBack()
{
    return m_PlayMode != 0 ? static_cast<IAppCallBack*>(&m_Listener) : nullptr;
}

void CQuillonDlg::OnStartLive()
{
    UpdateData(true);
    StartLive();
    UpdateData(false);
}

void CQuillonDlg::StartLive()
{
    {
        const CWaitCursor busy;
        ChoiceList::StreamFormats().Show(m_StreamFormatList, m_Library->GetStreamFormat());
    }
    // A channel field that could not be read has been reported already; its old value is not
    // played.
    if (!FieldWasRead(IDC_CHANNEL))
    {
        return;
    }
    if (m_IsLive != 0)
    {
        AfxMessageBox("LIVE is already started!", this);
        return;
    }
    if (m_Channel <= 0)
    {
        AfxMessageBox("Please specify Channel!", this);
        return;
    }
    const CWaitCursor busy;
    const int32_t windowResult = m_Library->SetVideoWindow(VideoWindow());
    m_Library->ClearImage();
    AddLogLine("Call SetVideoWindow(handle).(return value=%d)", windowResult);

    const int32_t uid = m_Library->Open();
    AddLogLine("Call Open(None).(return value=UID %d)", uid);
    if (uid < 0)
    {
        return;
    }
    m_UID = m_Library->GetUID();
    int32_t out = 0;
    const int32_t playResult = m_Library->PlayLive(m_Channel, &out, m_PlayMode, LiveCallBack());
    AddLogLine("Call PlayLive(channel=%d,mode=%d).(return value=%d)", m_Channel, m_PlayMode,
               playResult);

    m_IsLive = 1;
    m_StartLiveButton.EnableWindow(false);
    m_StopLiveButton.EnableWindow(true);
}

void CQuillonDlg::OnStopLive()
{
    // Stopping sends no field, so it goes on whatever the read found; the log line shows the
    // channel last read.
    UpdateData(true);
    StopLive();
    UpdateData(false);
    OnPaint();
}

void CQuillonDlg::StopLive()
{
    if (m_IsLive != 1)
    {
        AfxMessageBox("LIVE is already stopped!", this);
        return;
    }
    const CWaitCursor busy;
    int32_t out = 0;
    const int32_t controlResult = m_Library->PlayControl(1, 1, &out, m_PlayMode, LiveCallBack());
    AddLogLine("Call PlayControl(channel=%d,mode=%d).(return value=%d)", m_Channel, m_PlayMode,
               controlResult);

    m_IsLive = 0;
    m_StartLiveButton.EnableWindow(true);
    m_StopLiveButton.EnableWindow(false);

    m_Library->ClearImage();
    AddLogLine("Call ClearImage(None).(return value=None)");
    const int32_t windowResult = m_Library->SetVideoWindow(0);
    AddLogLine("Call SetVideoWindow(handle=NULL).(return value=%d)", windowResult);
    m_Library->Close();
    AddLogLine("Call Close(None).(return value=None)");
    m_UID = m_Library->GetUID();
}
