#include "device/DeviceApp.h"

#include "device/CommandLine.h"
#include "device/DeviceServer.h"

#include <malloc.h>
#include <pthread.h>
#include <signal.h>

#include <ostream>
#include <thread>

namespace velkordevice
{

int DeviceApp::run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const CommandLineResult parsed = CommandLine::parse(args);
    switch (parsed.action)
    {
    case CommandLineResult::Action::ShowHelp:
        out << CommandLine::usage();
        return 0;
    case CommandLineResult::Action::Fail:
        err << "velkor-device: " << parsed.error << "\nTry 'velkor-device --help'.\n";
        return 2;
    case CommandLineResult::Action::Run:
        break;
    }

    // Blocked before any thread starts so that only the waiter below ever sees them. SIGUSR1 is
    // the server's own way of waking the waiter when serving ends first.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    // Each encoder's threads would otherwise claim arenas of their own, up to eight a core, and
    // every stream started leaves memory behind in them.
    mallopt(M_ARENA_MAX, 2);

    const DeviceConfig& config = parsed.config;
    DeviceServer server(config);
    const int port = server.bind();
    if (port < 0)
    {
        err << "velkor-device: cannot listen on " << config.address << " port " << config.port
            << "\n";
        return 1;
    }
    const bool ipv6 = config.address.find(':') != std::string::npos;
    out << "velkor-device listening on http://" << (ipv6 ? "[" : "") << config.address
        << (ipv6 ? "]" : "") << ":" << port << std::endl;

    std::thread waiter(
        [&]
        {
            int signalNumber = 0;
            sigwait(&stopSignals, &signalNumber);
            server.stop();
        });
    const bool ok = server.run();
    // If serving ended on its own, the waiter is still blocked.
    pthread_kill(waiter.native_handle(), SIGUSR1);
    waiter.join();
    if (!ok)
    {
        err << "velkor-device: the listening socket failed\n";
        return 1;
    }
    return 0;
}

} // namespace velkordevice
