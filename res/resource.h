#pragma once

// Resource and control ids of the console.
inline constexpr int IDD_QUILLON_DIALOG = 102;
inline constexpr int IDR_MAINFRAME = 128;

inline constexpr int IDC_IPADDR = 1000;
inline constexpr int IDC_HTTPPORT = 1001;
inline constexpr int IDC_USERNAME = 1002;
inline constexpr int IDC_PASSWORD = 1003;
inline constexpr int IDC_DEVICETYPE = 1004;
inline constexpr int IDC_STREAMFORMAT = 1005;
inline constexpr int IDC_JPEGRESOLUTION = 1006;
inline constexpr int IDC_MPEG4RESOLUTION = 1007;
inline constexpr int IDC_SET_IPADDR = 1008;
inline constexpr int IDC_SET_HTTPPORT = 1009;
inline constexpr int IDC_SET_USERNAME = 1010;
inline constexpr int IDC_SET_PASSWORD = 1011;
inline constexpr int IDC_SET_DEVICETYPE = 1012;
inline constexpr int IDC_SET_STREAMFORMAT = 1013;
inline constexpr int IDC_SET_JPEGRESOLUTION = 1014;
inline constexpr int IDC_SET_MPEG4RESOLUTION = 1015;
inline constexpr int IDC_VIDEO = 1016;
inline constexpr int IDC_LOG = 1017;
inline constexpr int IDC_START_LIVE = 1018;
inline constexpr int IDC_STOP_LIVE = 1019;
inline constexpr int IDC_UID = 1020;
inline constexpr int IDC_CHANNEL = 1021;
inline constexpr int IDC_H264RESOLUTION = 1022;
inline constexpr int IDC_SET_H264RESOLUTION = 1023;

// Font of the console's layout; its metrics give the dialog units.
inline constexpr const char* kDialogFontFamily = "Liberation Sans";
