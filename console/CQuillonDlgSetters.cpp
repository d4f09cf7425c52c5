#include "console/CQuillonDlg.h"
#include "console/ChoiceList.h"
#include "devicelib/DeviceLibrary.h"
#include "framework/MessageBox.h"
#include "res/resource.h"

#include <array>
#include <cstring>

namespace
{
// Texts travel to the library in a 256-byte buffer: at most 255 bytes and the terminating zero.
constexpr std::size_t kSendBufferSize = 256;
} // namespace

void CQuillonDlg::OnSetIPAddr()
{
    SetTextProperty(m_IPAddr, {"IPAddr", "Please specify IPAddr!", &DeviceLibrary::SetIPAddr,
                               &DeviceLibrary::GetIPAddr,
                               "[%04d] Call SetIPAddr(ipaddr=%s).(return value=%d)"});
}

void CQuillonDlg::OnSetUserName()
{
    SetTextProperty(m_UserName,
                    {"UserName", nullptr, &DeviceLibrary::SetUserName, &DeviceLibrary::GetUserName,
                     "[%04d] Call SetUserName(userName=%s).(return value=%d)"});
}

void CQuillonDlg::OnSetPassword()
{
    SetTextProperty(m_Password,
                    {"Password", nullptr, &DeviceLibrary::SetPassword, &DeviceLibrary::GetPassword,
                     "[%04d] Call SetPassword(password=%s).(return value=%d)"});
}

void CQuillonDlg::SetTextProperty(std::string& value, const TextProperty& property)
{
    UpdateData(true);
    SendText(value, property);
    UpdateData(false);
}

void CQuillonDlg::SendText(std::string& value, const TextProperty& property)
{
    if (property.emptyMessage != nullptr && value.empty())
    {
        AfxMessageBox(property.emptyMessage, this);
        return;
    }
    if (value.size() >= kSendBufferSize)
    {
        AfxMessageBox(FormatText("%s is too long: the library takes at most %zu bytes, and it "
                                 "holds %zu bytes.",
                                 property.label, kSendBufferSize - 1, value.size()),
                      this);
        return;
    }
    std::array<char, kSendBufferSize> send{};
    std::memcpy(send.data(), value.c_str(), value.size() + 1);
    const int32_t result = (m_Library->*property.setter)(send.data());
    if (result < 0)
    {
        value = ReadLibraryText(property.getter);
    }
    AddLogLine(property.logFormat, value.c_str(), result);
}

void CQuillonDlg::OnSetHttpPort()
{
    UpdateData(true);
    // A port field that could not be read has been reported already; its old value is not sent.
    if (FieldWasRead(IDC_HTTPPORT))
    {
        if (m_HttpPort <= 0)
        {
            AfxMessageBox("Please specify HttpPort!", this);
        }
        else
        {
            const int32_t result = m_Library->SetHttpPort(m_HttpPort);
            if (result < 0)
            {
                m_HttpPort = m_Library->GetHttpPort();
            }
            AddLogLine("[%04d] Call SetHttpPort(port=%d).(return value=%d)", m_HttpPort, result);
        }
    }
    UpdateData(false);
}

void CQuillonDlg::OnSetDeviceType()
{
    SetListProperty(m_DeviceTypeList, m_SentDeviceType,
                    {ChoiceList::DeviceTypes(), "Please select DeviceType!",
                     &DeviceLibrary::SetDeviceType, &DeviceLibrary::GetDeviceType,
                     "[%04d] Call SetDeviceType(type=%d).(return value=%d)"});
}

void CQuillonDlg::OnSetStreamFormat()
{
    SetListProperty(m_StreamFormatList, m_SentStreamFormat,
                    {ChoiceList::StreamFormats(), "Please select StreamFormat!",
                     &DeviceLibrary::SetStreamFormat, &DeviceLibrary::GetStreamFormat,
                     "[%04d] Call SetStreamFormat(format=%d).(return value=%d)"});
}

void CQuillonDlg::OnSetJPEGResolution()
{
    SetListProperty(m_JPEGResolutionList, m_SentJPEGResolution,
                    {ChoiceList::JPEGResolutions(), "Please select JPEGResolution!",
                     &DeviceLibrary::SetJPEGResolution, &DeviceLibrary::GetJPEGResolution,
                     "[%04d] Call SetJPEGResolution(resolution=%d).(return value=%d)"});
}

void CQuillonDlg::OnSetMPEG4Resolution()
{
    SetListProperty(m_MPEG4ResolutionList, m_SentMPEG4Resolution,
                    {ChoiceList::MPEG4Resolutions(), "Please select MPEG4Resolution!",
                     &DeviceLibrary::SetMPEG4Resolution, &DeviceLibrary::GetMPEG4Resolution,
                     "[%04d] Call SetMPEG4Resolution(resolution=%d).(return value=%d)"});
}

void CQuillonDlg::OnSetH264Resolution()
{
    SetListProperty(m_H264ResolutionList, m_SentH264Resolution,
                    {ChoiceList::H264Resolutions(), "Please select H264Resolution!",
                     &DeviceLibrary::SetH264Resolution, &DeviceLibrary::GetH264Resolution,
                     "[%04d] Call SetH264Resolution(resolution=%d).(return value=%d)"});
}

void CQuillonDlg::SetListProperty(CComboBox& list, int32_t& sent, const ListProperty& property)
{
    UpdateData(true);
    SendListCode(list, sent, property);
    UpdateData(false);
}

void CQuillonDlg::SendListCode(CComboBox& list, int32_t& sent, const ListProperty& property)
{
    const std::optional<int32_t> code = property.choices.codeAt(list.GetCurSel());
    if (!code)
    {
        AfxMessageBox(property.noSelectionMessage, this);
        return;
    }
    sent = *code;
    const int32_t result = (m_Library->*property.setter)(sent);
    if (result < 0)
    {
        property.choices.Show(list, (m_Library->*property.getter)());
    }
    AddLogLine(property.logFormat, sent, result);
}
