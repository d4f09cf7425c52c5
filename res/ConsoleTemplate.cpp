#include "res/ConsoleTemplate.h"

#include "res/resource.h"

namespace
{
using namespace ControlStyle;
constexpr unsigned kEdit = kBorder | kAutoHScroll | kTabStop;
constexpr unsigned kList = kVScroll | kSort | kTabStop;
constexpr unsigned kButton = kTabStop;
constexpr unsigned kLog = kMultiLine | kBorder | kVScroll | kHScroll | kAutoHScroll;
constexpr ControlKind E = ControlKind::Edit;
constexpr ControlKind B = ControlKind::PushButton;
constexpr ControlKind L = ControlKind::DropDownList;
constexpr ControlKind T = ControlKind::Label;
} // namespace

const DialogTemplate& ConsoleTemplate()
{
    static const DialogTemplate layout{
        IDD_QUILLON_DIALOG,
        "Quillon",
        524,
        353,
        kDialogFontFamily,
        8,
        {
            {IDC_IPADDR, E, "", 57, 22, 97, 13, kEdit},
            {IDC_SET_IPADDR, B, "Set", 161, 22, 24, 13, kButton},
            {IDC_HTTPPORT, E, "", 57, 38, 97, 13, kEdit},
            {IDC_SET_HTTPPORT, B, "Set", 161, 39, 24, 13, kButton},
            {IDC_USERNAME, E, "", 57, 54, 97, 13, kEdit},
            {IDC_SET_USERNAME, B, "Set", 161, 55, 24, 13, kButton},
            {IDC_PASSWORD, E, "", 57, 70, 97, 13, kEdit},
            {IDC_SET_PASSWORD, B, "Set", 161, 71, 24, 13, kButton},
            {IDC_DEVICETYPE, L, "", 79, 87, 76, 50, kList | kNoIntegralHeight},
            {IDC_SET_DEVICETYPE, B, "Set", 161, 87, 24, 13, kButton},
            {IDC_STREAMFORMAT, L, "", 79, 103, 76, 50, kList},
            {IDC_SET_STREAMFORMAT, B, "Set", 161, 103, 24, 13, kButton},
            {IDC_JPEGRESOLUTION, L, "", 79, 119, 76, 50, kList},
            {IDC_SET_JPEGRESOLUTION, B, "Set", 161, 119, 24, 13, kButton},
            {IDC_MPEG4RESOLUTION, L, "", 79, 135, 76, 50, kList},
            {IDC_SET_MPEG4RESOLUTION, B, "Set", 161, 135, 24, 13, kButton},
            {IDC_CHANNEL, E, "", 235, 14, 54, 13, kEdit},
            {IDC_START_LIVE, B, "Start Live", 302, 13, 53, 32, kButton},
            {IDC_STOP_LIVE, B, "Stop Live", 359, 13, 53, 32, kButton},
            {IDC_VIDEO, ControlKind::StaticFrame, "", 201, 49, 66, 38, 0},
            {kNoControlId, ControlKind::GroupBox, "Property", 7, 7, 183, 168, 0},
            {kNoControlId, T, "IPAddr", 15, 25, 35, 8, 0},
            {kNoControlId, T, "HttpPort", 15, 41, 35, 8, 0},
            {kNoControlId, T, "UserName", 15, 57, 35, 8, 0},
            {kNoControlId, T, "Password", 15, 73, 37, 8, 0},
            {kNoControlId, T, "DeviceType", 15, 89, 60, 8, 0},
            {kNoControlId, T, "StreamFormat", 15, 105, 60, 8, 0},
            {kNoControlId, T, "JPEGResolution", 15, 121, 60, 8, 0},
            {kNoControlId, T, "MPEG4Resolution", 15, 137, 60, 8, 0},
            {IDC_LOG, E, "", 7, 192, 184, 154, kLog},
            {kNoControlId, T, "Log", 7, 179, 25, 10, 0},
            {kNoControlId, T, "UID =", 204, 33, 24, 9, 0},
            {IDC_UID, E, "", 235, 31, 54, 12, kBorder | kReadOnly | kAutoHScroll},
            {kNoControlId, T, "Channel", 204, 16, 30, 9, 0},
            {IDC_H264RESOLUTION, L, "", 79, 151, 76, 50, kList},
            {IDC_SET_H264RESOLUTION, B, "Set", 161, 151, 24, 13, kButton},
            {kNoControlId, T, "H264Resolution", 15, 153, 60, 8, 0},
        },
        {{IDC_DEVICETYPE, "a"}},
        WindowStyle::kMinimizeBox | WindowStyle::kMaximizeBox | WindowStyle::kAppWindow,
    };
    return layout;
}
