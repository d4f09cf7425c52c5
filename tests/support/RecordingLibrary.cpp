#include "tests/support/RecordingLibrary.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <thread>
#include <utility>

namespace
{
std::string pointerText(const void* pointer)
{
    std::ostringstream text;
    text << pointer;
    return pointer == nullptr ? "null" : text.str();
}
} // namespace

extern "C" DeviceLibrary* GetVelkorAPI()
{
    RecordingLibrary& library = RecordingLibrary::instance();
    return library.factoryYieldsObject() ? &library : nullptr;
}

RecordingLibrary& RecordingLibrary::instance()
{
    static auto* library = new RecordingLibrary();
    return *library;
}

void RecordingLibrary::reset()
{
    const std::lock_guard lock(m_mutex);
    m_calls.clear();
    m_results.clear();
    m_state = State{};
    m_factoryYieldsObject = true;
    m_listener = nullptr;
    m_callBack = nullptr;
    m_outSeen = -1;
    m_onListenerRegistered = nullptr;
    m_duringOpen = nullptr;
}

void RecordingLibrary::setResult(int slot, int32_t result)
{
    const std::lock_guard lock(m_mutex);
    m_results[slot] = result;
}

void RecordingLibrary::setFactoryYieldsObject(bool yields)
{
    m_factoryYieldsObject = yields;
}

void RecordingLibrary::setOnListenerRegistered(std::function<void(IAppListener&)> hook)
{
    const std::lock_guard lock(m_mutex);
    m_onListenerRegistered = std::move(hook);
}

void RecordingLibrary::setDuringOpen(std::function<void()> hook)
{
    const std::lock_guard lock(m_mutex);
    m_duringOpen = std::move(hook);
}

bool RecordingLibrary::factoryYieldsObject() const
{
    return m_factoryYieldsObject;
}

std::vector<RecordingLibrary::Call> RecordingLibrary::calls() const
{
    const std::lock_guard lock(m_mutex);
    return m_calls;
}

void RecordingLibrary::clearCalls()
{
    const std::lock_guard lock(m_mutex);
    m_calls.clear();
}

IAppListener* RecordingLibrary::registeredListener() const
{
    const std::lock_guard lock(m_mutex);
    return m_listener;
}

IAppCallBack* RecordingLibrary::lastCallBack() const
{
    const std::lock_guard lock(m_mutex);
    return m_callBack;
}

int32_t RecordingLibrary::lastOutValueSeen() const
{
    const std::lock_guard lock(m_mutex);
    return m_outSeen;
}

void RecordingLibrary::raiseFromThreads(int threads, int count,
                                        const std::function<void(IAppListener&, int, int)>& raise)
{
    IAppListener* listener = registeredListener();
    if (listener == nullptr)
    {
        return;
    }
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(threads));
    for (int thread = 0; thread < threads; ++thread)
    {
        workers.emplace_back(
            [listener, thread, count, &raise]
            {
                for (int index = 0; index < count; ++index)
                {
                    raise(*listener, thread, index);
                }
            });
    }
    for (std::thread& worker : workers)
    {
        worker.join();
    }
}

void RecordingLibrary::record(int slot, const char* name, std::vector<std::string> args)
{
    const std::lock_guard lock(m_mutex);
    m_calls.push_back({slot, name, std::move(args)});
}

int32_t RecordingLibrary::resultOf(int slot, int32_t otherwise) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_results.find(slot);
    return it == m_results.end() ? otherwise : it->second;
}

int32_t RecordingLibrary::setCode(int slot, const char* name, int32_t value, int32_t& field)
{
    record(slot, name, {std::to_string(value)});
    const int32_t result = resultOf(slot);
    if (result >= 0)
    {
        field = value;
    }
    return result;
}

int32_t RecordingLibrary::setText(int slot, const char* name, const char* value, std::string& field)
{
    record(slot, name, {value == nullptr ? "null" : value});
    const int32_t result = resultOf(slot);
    if (result >= 0 && value != nullptr)
    {
        field = value;
    }
    return result;
}

int32_t RecordingLibrary::getText(int slot, const char* name, char* buffer, int32_t size,
                                  const std::string& field)
{
    // Records whether the caller handed a zero-filled buffer, as it must.
    const bool zeroed = buffer != nullptr && size > 0 &&
                        std::all_of(buffer, buffer + size, [](char c) { return c == '\0'; });
    record(slot, name, {zeroed ? "zeroed" : "dirty", std::to_string(size)});
    if (buffer == nullptr || size <= 0)
    {
        return -1;
    }
    if (m_state.unterminatedFill != 0)
    {
        std::memset(buffer, m_state.unterminatedFill, static_cast<std::size_t>(size));
        return 0;
    }
    const std::size_t length = std::min(field.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, field.data(), length);
    buffer[length] = '\0';
    return 0;
}

int32_t RecordingLibrary::Open()
{
    record(1, "Open");
    std::function<void()> hook;
    {
        const std::lock_guard lock(m_mutex);
        hook = m_duringOpen;
    }
    if (hook)
    {
        hook();
    }
    const int32_t result = resultOf(1, m_state.uidWhenOpen);
    if (result >= 0)
    {
        m_state.open = true;
        m_state.uid = result;
    }
    return result;
}

int32_t RecordingLibrary::Close()
{
    record(3, "Close");
    m_state.open = false;
    m_state.uid = m_state.uidWhenClosed;
    return resultOf(3);
}

int32_t RecordingLibrary::SetDeviceType(int32_t type)
{
    return setCode(11, "SetDeviceType", type, m_state.deviceType);
}

int32_t RecordingLibrary::GetDeviceType()
{
    record(12, "GetDeviceType");
    return m_state.deviceType;
}

int32_t RecordingLibrary::SetIPAddr(const char* ipaddr)
{
    return setText(13, "SetIPAddr", ipaddr, m_state.ipAddr);
}

int32_t RecordingLibrary::GetIPAddr(char* buffer, int32_t size)
{
    return getText(14, "GetIPAddr", buffer, size, m_state.ipAddr);
}

int32_t RecordingLibrary::SetHttpPort(int32_t port)
{
    return setCode(15, "SetHttpPort", port, m_state.httpPort);
}

int32_t RecordingLibrary::GetHttpPort()
{
    record(16, "GetHttpPort");
    return m_state.httpPort;
}

int32_t RecordingLibrary::GetUID()
{
    record(25, "GetUID");
    return m_state.uid;
}

int32_t RecordingLibrary::SetUserName(const char* userName)
{
    return setText(26, "SetUserName", userName, m_state.userName);
}

int32_t RecordingLibrary::GetUserName(char* buffer, int32_t size)
{
    return getText(27, "GetUserName", buffer, size, m_state.userName);
}

int32_t RecordingLibrary::SetPassword(const char* password)
{
    return setText(28, "SetPassword", password, m_state.password);
}

int32_t RecordingLibrary::GetPassword(char* buffer, int32_t size)
{
    return getText(29, "GetPassword", buffer, size, m_state.password);
}

int32_t RecordingLibrary::Slot042(IAppListener* listener)
{
    record(42, "Slot042", {pointerText(listener)});
    const std::lock_guard lock(m_mutex);
    m_listener = listener;
    return 0;
}

int32_t RecordingLibrary::Slot066(int32_t value)
{
    record(66, "Slot066", {std::to_string(value)});
    return 0;
}

int32_t RecordingLibrary::PlayLive(int32_t channel, int32_t* out, int32_t mode,
                                   IAppCallBack* callback)
{
    record(68, "PlayLive",
           {std::to_string(channel), out == nullptr ? "null" : "out", std::to_string(mode),
            pointerText(callback)});
    const std::lock_guard lock(m_mutex);
    m_outSeen = out == nullptr ? -1 : *out;
    m_callBack = callback;
    const auto it = m_results.find(68);
    return it == m_results.end() ? 0 : it->second;
}

int32_t RecordingLibrary::PlayControl(int32_t first, int32_t second, int32_t* out, int32_t mode,
                                      IAppCallBack* callback)
{
    record(71, "PlayControl",
           {std::to_string(first), std::to_string(second), out == nullptr ? "null" : "out",
            std::to_string(mode), pointerText(callback)});
    const std::lock_guard lock(m_mutex);
    m_outSeen = out == nullptr ? -1 : *out;
    m_callBack = callback;
    const auto it = m_results.find(71);
    return it == m_results.end() ? 0 : it->second;
}

int32_t RecordingLibrary::SetVideoWindow(VideoWindowHandle window)
{
    record(77, "SetVideoWindow", {window == 0 ? "0" : "window"});
    return resultOf(77);
}

int32_t RecordingLibrary::ClearImage()
{
    record(79, "ClearImage");
    return 0;
}

int32_t RecordingLibrary::SetMPEG4Resolution(int32_t resolution)
{
    return setCode(188, "SetMPEG4Resolution", resolution, m_state.mpeg4Resolution);
}

int32_t RecordingLibrary::GetMPEG4Resolution()
{
    record(189, "GetMPEG4Resolution");
    return m_state.mpeg4Resolution;
}

int32_t RecordingLibrary::SetH264Resolution(int32_t resolution)
{
    return setCode(190, "SetH264Resolution", resolution, m_state.h264Resolution);
}

int32_t RecordingLibrary::GetH264Resolution()
{
    record(191, "GetH264Resolution");
    return m_state.h264Resolution;
}

int32_t RecordingLibrary::SetJPEGResolution(int32_t resolution)
{
    return setCode(192, "SetJPEGResolution", resolution, m_state.jpegResolution);
}

int32_t RecordingLibrary::GetJPEGResolution()
{
    record(193, "GetJPEGResolution");
    return m_state.jpegResolution;
}

int32_t RecordingLibrary::SetStreamFormat(int32_t format)
{
    return setCode(194, "SetStreamFormat", format, m_state.streamFormat);
}

int32_t RecordingLibrary::GetStreamFormat()
{
    record(195, "GetStreamFormat");
    return m_state.streamFormat;
}

int32_t RecordingLibrary::Slot196(int32_t value)
{
    record(196, "Slot196", {std::to_string(value)});
    return 0;
}

int32_t RecordingLibrary::Slot198(int32_t value)
{
    record(198, "Slot198", {std::to_string(value)});
    return 0;
}

int32_t RecordingLibrary::Slot220(int32_t value)
{
    record(220, "Slot220", {std::to_string(value)});
    return 0;
}

int32_t RecordingLibrary::Slot296(IAppListener* listener)
{
    record(296, "Slot296", {pointerText(listener)});
    std::function<void(IAppListener&)> hook;
    {
        const std::lock_guard lock(m_mutex);
        m_listener = listener;
        hook = m_onListenerRegistered;
    }
    if (hook && listener != nullptr)
    {
        hook(*listener);
    }
    return 0;
}

int32_t RecordingLibrary::Slot298(int32_t first, int32_t second)
{
    record(298, "Slot298", {std::to_string(first), std::to_string(second)});
    return 0;
}

int32_t RecordingLibrary::Slot328(int32_t value)
{
    record(328, "Slot328", {std::to_string(value)});
    return 0;
}

int32_t RecordingLibrary::Slot332(int32_t value)
{
    record(332, "Slot332", {std::to_string(value)});
    return 0;
}
