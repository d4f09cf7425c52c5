#pragma once

#include "devicelib/DeviceLibrary.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// A device library for the console's tests: records every call with its slot and arguments,
// answers from a small scripted state, and raises events and callbacks from threads of its own.
class RecordingLibrary final : public DeviceLibrary
{
public:
    struct Call
    {
        int slot;
        std::string name;
        std::vector<std::string> args;
        bool operator==(const Call&) const = default;
    };

    // What the getters answer, and what accepted setters change.
    struct State
    {
        std::string ipAddr = "192.0.2.10";
        int32_t httpPort = 80;
        std::string userName = "operator";
        std::string password = "secret";
        int32_t deviceType = 0;
        int32_t streamFormat = 0;
        int32_t jpegResolution = 640;
        int32_t mpeg4Resolution = 320;
        int32_t h264Resolution = 1280;
        int32_t uid = 0;
        int32_t uidWhenOpen = 4711;
        // What GetUID answers once Close has run.
        int32_t uidWhenClosed = 0;
        bool open = false;
        // Text getters fill the whole buffer with this byte and no terminator when not zero.
        char unterminatedFill = 0;
    };

    static RecordingLibrary& instance();

    // Puts the double back to its starting state: no calls, default state and results.
    void reset();
    // The result a slot's operation returns from now on (setters: negative refuses the value).
    void setResult(int slot, int32_t result);
    // Whether GetVelkorAPI yields the object.
    void setFactoryYieldsObject(bool yields);
    // Runs inside Slot296 with the listener just registered, as a library that reports at once.
    void setOnListenerRegistered(std::function<void(IAppListener&)> hook);
    // Runs inside Open before it answers, as a library that waits for a slow device.
    void setDuringOpen(std::function<void()> hook);
    [[nodiscard]] bool factoryYieldsObject() const;

    State& state() { return m_state; }
    [[nodiscard]] std::vector<Call> calls() const;
    void clearCalls();
    [[nodiscard]] IAppListener* registeredListener() const;
    [[nodiscard]] IAppCallBack* lastCallBack() const;
    // Arguments the last PlayLive/PlayControl saw through their out pointer before writing it.
    [[nodiscard]] int32_t lastOutValueSeen() const;

    // Calls `raise` with the registered listener from `threads` threads of its own, `count` times
    // each (thread and index passed along), and returns when all are done.
    void raiseFromThreads(int threads, int count,
                          const std::function<void(IAppListener&, int thread, int index)>& raise);

    int32_t Open() override;
    int32_t Close() override;
    int32_t SetDeviceType(int32_t type) override;
    int32_t GetDeviceType() override;
    int32_t SetIPAddr(const char* ipaddr) override;
    int32_t GetIPAddr(char* buffer, int32_t size) override;
    int32_t SetHttpPort(int32_t port) override;
    int32_t GetHttpPort() override;
    int32_t GetUID() override;
    int32_t SetUserName(const char* userName) override;
    int32_t GetUserName(char* buffer, int32_t size) override;
    int32_t SetPassword(const char* password) override;
    int32_t GetPassword(char* buffer, int32_t size) override;
    int32_t Slot042(IAppListener* listener) override;
    int32_t Slot066(int32_t value) override;
    int32_t PlayLive(int32_t channel, int32_t* out, int32_t mode, IAppCallBack* callback) override;
    int32_t PlayControl(int32_t first, int32_t second, int32_t* out, int32_t mode,
                        IAppCallBack* callback) override;
    int32_t SetVideoWindow(VideoWindowHandle window) override;
    int32_t ClearImage() override;
    int32_t SetMPEG4Resolution(int32_t resolution) override;
    int32_t GetMPEG4Resolution() override;
    int32_t SetH264Resolution(int32_t resolution) override;
    int32_t GetH264Resolution() override;
    int32_t SetJPEGResolution(int32_t resolution) override;
    int32_t GetJPEGResolution() override;
    int32_t SetStreamFormat(int32_t format) override;
    int32_t GetStreamFormat() override;
    int32_t Slot196(int32_t value) override;
    int32_t Slot198(int32_t value) override;
    int32_t Slot220(int32_t value) override;
    int32_t Slot296(IAppListener* listener) override;
    int32_t Slot298(int32_t first, int32_t second) override;
    int32_t Slot328(int32_t value) override;
    int32_t Slot332(int32_t value) override;

private:
    RecordingLibrary() = default;
    void record(int slot, const char* name, std::vector<std::string> args = {});
    int32_t resultOf(int slot, int32_t otherwise = 0) const;
    int32_t setCode(int slot, const char* name, int32_t value, int32_t& field);
    int32_t setText(int slot, const char* name, const char* value, std::string& field);
    int32_t getText(int slot, const char* name, char* buffer, int32_t size,
                    const std::string& field);

    mutable std::mutex m_mutex;
    std::vector<Call> m_calls;
    std::map<int, int32_t> m_results;
    State m_state;
    bool m_factoryYieldsObject = true;
    IAppListener* m_listener = nullptr;
    IAppCallBack* m_callBack = nullptr;
    int32_t m_outSeen = -1;
    std::function<void(IAppListener&)> m_onListenerRegistered;
    std::function<void()> m_duringOpen;
};
