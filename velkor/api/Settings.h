#pragma once

#include "velkor/session/SettingsSnapshot.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace velkor
{

// The library's configurable properties. Every setter validates, returns Ok or the ResultCode of
// the refusal, and keeps the old value when it refuses. Safe to use from any thread.
class Settings
{
public:
    static constexpr std::size_t kMaxUserNameBytes = 64;
    static constexpr std::size_t kMaxPasswordBytes = 128;

    int32_t setDeviceType(int32_t type);
    // A plain address (IP literal or host name) of a velkor device, or a camera's URL. A refusal
    // comes with `why` saying what is wrong.
    int32_t setAddress(const char* address, std::string& why);
    int32_t setPort(int32_t port);
    int32_t setUserName(const char* userName);
    int32_t setPassword(const char* password);
    int32_t setStreamFormat(int32_t format);
    int32_t setJpegWidth(int32_t width);
    int32_t setMpeg4Width(int32_t width);
    int32_t setH264Width(int32_t width);

    SettingsSnapshot snapshot() const;

private:
    int32_t setText(const char* text, std::size_t maxBytes, std::string SettingsSnapshot::*field);

    mutable std::mutex m_mutex;
    SettingsSnapshot m_values;
};

} // namespace velkor
