#include "velkor/api/Settings.h"

#include "velkor/api/AddressRules.h"
#include "velkor/net/TextRules.h"
#include "velkor/report/ResultCode.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace velkor
{
namespace
{

template <std::size_t N> bool isOneOf(int32_t value, const std::array<int32_t, N>& allowed)
{
    return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

constexpr std::array<int32_t, 6> kDeviceTypes{0, 1, 2, 3, 4, 6};
constexpr std::array<int32_t, 5> kStreamFormats{0, 1, 2, 3, 6};
constexpr std::array<int32_t, 7> kJpegWidths{320, 640, 800, 960, 1280, 1920, 2048};
constexpr std::array<int32_t, 2> kMpeg4Widths{320, 640};
constexpr std::array<int32_t, 6> kH264Widths{320, 640, 800, 960, 1280, 1920};

} // namespace

int32_t Settings::setDeviceType(int32_t type)
{
    if (!isOneOf(type, kDeviceTypes))
    {
        return DeviceTypeInvalid;
    }
    std::lock_guard lock(m_mutex);
    m_values.deviceType = type;
    return Ok;
}

int32_t Settings::setAddress(const char* address, std::string& why)
{
    if (address == nullptr)
    {
        return InvalidArgument;
    }
    const int32_t verdict = AddressRules::check(address, why);
    if (verdict != Ok)
    {
        return verdict;
    }
    std::lock_guard lock(m_mutex);
    m_values.address = address;
    return Ok;
}

int32_t Settings::setPort(int32_t port)
{
    if (port < 1 || port > 65535)
    {
        return PortInvalid;
    }
    std::lock_guard lock(m_mutex);
    m_values.port = port;
    return Ok;
}

int32_t Settings::setUserName(const char* userName)
{
    return setText(userName, kMaxUserNameBytes, &SettingsSnapshot::userName);
}

int32_t Settings::setPassword(const char* password)
{
    return setText(password, kMaxPasswordBytes, &SettingsSnapshot::password);
}

int32_t Settings::setText(const char* text, std::size_t maxBytes,
                          std::string SettingsSnapshot::*field)
{
    if (text == nullptr)
    {
        return InvalidArgument;
    }
    const std::string_view view(text);
    const int32_t verdict = TextRules::checkCredential(view, maxBytes);
    if (verdict != Ok)
    {
        return verdict;
    }
    std::lock_guard lock(m_mutex);
    m_values.*field = view;
    return Ok;
}

int32_t Settings::setStreamFormat(int32_t format)
{
    if (!isOneOf(format, kStreamFormats))
    {
        return StreamFormatInvalid;
    }
    std::lock_guard lock(m_mutex);
    m_values.streamFormat = format;
    return Ok;
}

int32_t Settings::setJpegWidth(int32_t width)
{
    if (!isOneOf(width, kJpegWidths))
    {
        return JpegWidthInvalid;
    }
    std::lock_guard lock(m_mutex);
    m_values.jpegWidth = width;
    return Ok;
}

int32_t Settings::setMpeg4Width(int32_t width)
{
    if (!isOneOf(width, kMpeg4Widths))
    {
        return Mpeg4WidthInvalid;
    }
    std::lock_guard lock(m_mutex);
    m_values.mpeg4Width = width;
    return Ok;
}

int32_t Settings::setH264Width(int32_t width)
{
    if (!isOneOf(width, kH264Widths))
    {
        return H264WidthInvalid;
    }
    std::lock_guard lock(m_mutex);
    m_values.h264Width = width;
    return Ok;
}

SettingsSnapshot Settings::snapshot() const
{
    std::lock_guard lock(m_mutex);
    return m_values;
}

} // namespace velkor
