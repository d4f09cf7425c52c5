// Opens the device or camera given on the command line, starts live play into a window if one can
// be made, and leaves main while every library thread still runs: the process must end cleanly.
// Usage: velkor_exit_probe PORT|CAMERA_URL return|exit [X_SERVER_PID|usr1]; with the pid, the X
// server is stopped (SIGSTOP) once the window is handed over, and the one who runs the probe
// continues it; with usr1, the probe leaves on SIGUSR1 instead of after the first picture.
#include "devicelib/DeviceLibrary.h"

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

namespace
{

class FrameWatcher : public IAppListener
{
public:
    void OnImage(int32_t, int32_t, int32_t) override { seen = true; }
    std::atomic<bool> seen{false};
};

FrameWatcher watcher;

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        return 2;
    }
    const bool onSignal = argc > 3 && std::strcmp(argv[3], "usr1") == 0;
    // Blocked before the library starts a thread, so that only the wait below takes it.
    sigset_t leave;
    sigemptyset(&leave);
    sigaddset(&leave, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &leave, nullptr);
    DeviceLibrary* api = GetVelkorAPI();
    api->Slot042(&watcher);
    if (std::strstr(argv[1], "://") != nullptr)
    {
        api->SetIPAddr(argv[1]);
    }
    else
    {
        api->SetHttpPort(std::atoi(argv[1]));
    }
    // Kept in a global: the window must outlive main(), and a leak checker sees it still held.
    static xcb_connection_t* connection = nullptr;
    connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) == 0)
    {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        const std::uint32_t window = xcb_generate_id(connection);
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 320, 240, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_map_window(connection, window);
        xcb_flush(connection);
        api->SetVideoWindow(window);
    }
    if (argc > 3 && !onSignal)
    {
        ::kill(std::atoi(argv[3]), SIGSTOP);
    }
    if (api->Open() < 0 || api->PlayLive(1, nullptr, 0, nullptr) != 0)
    {
        return 3;
    }
    if (onSignal)
    {
        const timespec patience{20, 0};
        if (sigtimedwait(&leave, nullptr, &patience) != SIGUSR1)
        {
            return 4;
        }
    }
    else
    {
        for (int i = 0; i < 500 && !watcher.seen; ++i)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!watcher.seen)
        {
            return 4;
        }
    }
    // For a stall benchmark timing the exit from here on.
    std::puts("leaving");
    std::fflush(stdout);
    const bool viaExit = std::strcmp(argv[2], "exit") == 0;
    if (viaExit)
    {
        std::exit(0);
    }
    return 0;
}
