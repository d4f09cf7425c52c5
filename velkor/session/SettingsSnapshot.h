#pragma once

#include <cstdint>
#include <string>

namespace velkor
{

// The values a session and a live stream are made from, copied out in one piece.
struct SettingsSnapshot
{
    int32_t deviceType = 0;
    std::string address = "127.0.0.1";
    int32_t port = 18080;
    std::string userName;
    std::string password;
    int32_t streamFormat = 0;
    int32_t jpegWidth = 640;
    int32_t mpeg4Width = 640;
    int32_t h264Width = 1280;
};

} // namespace velkor
