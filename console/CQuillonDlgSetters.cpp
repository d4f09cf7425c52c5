#include "console/CQuillonDlg.h"
#include "console/ChoiceList.h"
#include "devicelib/DeviceLibrary.h"
#include "framework/CWaitCursor.h"
#include "framework/FormatText.h"
#include "framework/MessageBox.h"
#include "res/resource.h"

#include <array>
#include <cstring>
#include <optional>

namespace
{
// Texts travel to the library in a 256-byte buffer: at most 255 bytes and the terminating zero.
constexpr std::size_t kSendBufferSize = 256;
} // namespace

void CQuillonDlg::OnSetIPAddr()
{
    UpdateData(true);
    if (const std::optional<int32_t> result =
            SendText(m_IPAddr, {"IPAddr", "Please specify IPAddr!", &DeviceLibrary::SetIPAddr,
                                &DeviceLibrary::GetIPAddr}))
    {
        AddLogLine("Call SetIPAddr(ipaddr=%s).(return value=%d)", m_IPAddr.c_str(), *result);
    }
    UpdateData(false);
}

void CQuillonDlg::OnSetUserName()
{
    UpdateData(true);
    if (const std::optional<int32_t> result =
            SendText(m_UserName, {"UserName", nullptr, &DeviceLibrary::SetUserName,
                                  &DeviceLibrary::GetUserName}))
    {
        AddLogLine("Call SetUserName(userName=%s).(return value=%d)", m_UserName.c_str(), *result);
    }
    UpdateData(false);
}

void CQuillonDlg::OnSetPassword()
{
    UpdateData(true);
    if (const std::optional<int32_t> result =
            SendText(m_Password, {"Password", nullptr, &DeviceLibrary::SetPassword,
                                  &DeviceLibrary::GetPassword}))
    {
        AddLogLine("Call SetPassword(password=%s).(return value=%d)", m_Password.c_str(), *result);
    }
    UpdateData(false);
}

std::optional<int32_t> CQuillonDlg::SendText(std::string& value, const TextProperty& property)
{
    if (property.emptyMessage != nullptr && value.empty())
    {
        AfxMessageBox(property.emptyMessage, this);
        return std::nullopt;
    }
    if (value.size() >= kSendBufferSize)
    {
        AfxMessageBox(FormatText("%s is too long: the library takes at most %zu bytes, and it "
                                 "holds %zu bytes.",
                                 property.label, kSendBufferSize - 1, value.size()),
                      this);
        return std::nullopt;
    }
    const CWaitCursor busy;
    std::array<char, kSendBufferSize> send{};
    std::memcpy(send.data(), value.c_str(), value.size() + 1);
    const int32_t result = (m_Library->*property.setter)(send.data());
    if (result < 0)
    {
        value = ReadLibraryText(property.getter);
    }
    return result;
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
            const CWaitCursor busy;
            const int32_t result = m_Library->SetHttpPort(m_HttpPort);
            if (result < 0)
            {
                m_HttpPort = m_Library->GetHttpPort();
            }
            AddLogLine("Call SetHttpPort(port=%d).(return value=%d)", m_HttpPort, result);
        }
    }
    UpdateData(false);
}

void CQuillonDlg::OnSetDeviceType()
{
    UpdateData(true);
    if (const std::optional<int32_t> result =
            SendListCode(m_DeviceTypeList, m_SentDeviceType,
                         {ChoiceList::DeviceTypes(), "Please select DeviceType!",
                          &DeviceLibrary::SetDeviceType, &DeviceLibrary::GetDeviceType}))
    {
        AddLogLine("Call SetDeviceType(type=%d).(return value=%d)", m_SentDeviceType, *result);
    }
    UpdateData(false);
}

void CQuillonDlg::OnSetStreamFormat()
{
    UpdateData(true);
    if (const std::optional<int32_t> result =
            SendListCode(m_StreamFormatList, m_SentStreamFormat,
                         {ChoiceList::StreamFormats(), "Please select StreamFormat!",
                          &DeviceLibrary::SetStreamFormat, &DeviceLibrary::GetStreamFormat}))
    {
        AddLogLine("Call SetStreamFormat(format=%d).(return value=%d)", m_SentStreamFormat,
                   *result);
    }
    UpdateData(false);
}

void CQuillonDlg::OnSetJPEGResolution()
{
    UpdateData(true);
    if (const std::optional<int32_t> result =
            SendListCode(m_JPEGResolutionList, m_SentJPEGResolution,
                         {ChoiceList::JPEGResolutions(), "Please select JPEGResolution!",
                          &DeviceLibrary::SetJPEGResolution, &DeviceLibrary::GetJPEGResolution}))
    {
        AddLogLine("Call SetJPEGResolution(resolution=%d).(return value=%d)", m_SentJPEGResolution,
                   *result);
    }
    UpdateData(false);
}

void CQuillonDlg::OnSetMPEG4Resolution()
{
    UpdateData(true);
    if (const std::optional<int32_t> result =
            SendListCode(m_MPEG4ResolutionList, m_SentMPEG4Resolution,
                         {ChoiceList::MPEG4Resolutions(), "Please select MPEG4Resolution!",
                          &DeviceLibrary::SetMPEG4Resolution, &DeviceLibrary::GetMPEG4Resolution}))
    {
        AddLogLine("Call SetMPEG4Resolution(resolution=%d).(return value=%d)",
                   m_SentMPEG4Resolution, *result);
    }
    UpdateData(false);
}

void CQuillonDlg::OnSetH264Resolution()
{
    UpdateData(true);
    if (const std::optional<int32_t> result =
            SendListCode(m_H264ResolutionList, m_SentH264Resolution,
                         {ChoiceList::H264Resolutions(), "Please select H264Resolution!",
                          &DeviceLibrary::SetH264Resolution, &DeviceLibrary::GetH264Resolution}))
    {
        AddLogLine("Call SetH264Resolution(resolution=%d).(return value=%d)", m_SentH264Resolution,
                   *result);
    }
    UpdateData(false);
}

std::optional<int32_t> CQuillonDlg::SendListCode(CComboBox& list, int32_t& sent,
                                                 const ListProperty& property)
{
    const std::optional<int32_t> code = property.choices.codeAt(list.GetCurSel());
    if (!code)
    {
        AfxMessageBox(property.noSelectionMessage, this);
        return std::nullopt;
    }
    sent = *code;
    const CWaitCursor busy;
    const int32_t result = (m_Library->*property.setter)(sent);
    if (result < 0)
    {
        property.choices.Show(list, (m_Library->*property.getter)());
    }
    return result;
}
