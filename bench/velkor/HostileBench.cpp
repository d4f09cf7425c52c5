// What hostile cameras get out of the library, per case: what reached another host a redirect
// pointed to (connections, requests carrying credentials), how many connections libavformat made
// to the camera in 20 s of play, the process's peak resident size over those 20 s, and, over
// ROUNDS runs each, how long Stop Live and process exit take after 1.5 s of play or, while a
// flood arrives, once 300 MB of it did, play lost it, or 20 s (6 s before an exit) passed (with how
// many of those stops found play still on: a flood cut off, or one that took longer than the 5 s
// silence deadline, ends in a loss first). Prints one markdown table
// row per case, then the load.
// Usage: velkor_hostile_bench [ROUNDS [CASE]]   (default 10 rounds of every case; CASE: the cases
// whose name holds it; cameras of its own on loopback, no display)
#include "bench/support/ProcessClock.h"
#include "devicelib/DeviceLibrary.h"
#include "tests/support/ProcessRunner.h"
#include "tests/velkor/support/HostileHttpCamera.h"
#include "tests/velkor/support/HostileRtspCamera.h"
#include "tests/velkor/support/LoopbackServer.h"
#include "tests/velkor/support/PeakMemory.h"
#include "tests/velkor/support/RecordingListener.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;
using velkortest::HostileHttpCamera;
using velkortest::HostileRtspCamera;
using velkortest::LoopbackConnection;
using velkortest::LoopbackServer;

constexpr long long kFlood = 300LL << 20;

double timed(const std::function<void()>& call)
{
    const auto start = Clock::now();
    call();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool play(DeviceLibrary& api, const std::string& url)
{
    api.Close();
    return api.SetIPAddr(url.c_str()) == 0 && api.Open() > 0 &&
           api.PlayLive(1, nullptr, 0, nullptr) == 0;
}

// Another host: counts connections, and requests that carry credentials, asking each for them.
class OtherHost
{
public:
    OtherHost()
        : m_server(
              [this](const std::string&, std::string head, LoopbackConnection& connection)
              {
                  while (!head.empty())
                  {
                      if (head.find("\r\nAuthorization: ") != std::string::npos)
                      {
                          ++m_credentials;
                      }
                      const auto cseq = head.find("CSeq: ");
                      const std::string sequence =
                          cseq == std::string::npos
                              ? std::string()
                              : head.substr(cseq, head.find("\r\n", cseq) - cseq + 2);
                      std::string answer =
                          head.find(" RTSP/1.0\r\n") != std::string::npos ? "RTSP/1.0" : "HTTP/1.1";
                      answer += " 401 Unauthorized\r\n";
                      answer += sequence;
                      answer += "WWW-Authenticate: Basic realm=\"x\"\r\nContent-Length: 0\r\n\r\n";
                      connection.send(answer);
                      head = connection.nextHead();
                  }
              })
    {
    }
    std::string url(const char* scheme) const
    {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(m_server.port()) +
               "/elsewhere";
    }
    int connections() const { return m_server.accepted(); }
    int credentials() const { return m_credentials.load(); }

private:
    std::atomic<int> m_credentials{0};
    LoopbackServer m_server;
};

// One hostile camera, made anew for each run.
struct Camera
{
    std::string url;
    std::function<int()> connections;
    // Bytes of the flood sent so far; null when the camera sends none.
    std::function<long long()> flood;
    std::shared_ptr<OtherHost> other;
    std::shared_ptr<void> keep;
};

struct Case
{
    const char* name;
    // `password`: whether an RTSP camera asks for credentials (the exit probe has none).
    std::function<Camera(bool password)> make;
};

template <typename Server> Camera cameraOf(std::shared_ptr<Server> server, bool floods)
{
    Camera camera{server->url(), [server] { return server->conversations(); }, nullptr, nullptr,
                  server};
    if constexpr (std::is_same_v<Server, HostileRtspCamera>)
    {
        camera.flood =
            floods ? std::function([server] { return server->pictureBytes(); }) : nullptr;
    }
    else
    {
        camera.flood = floods ? std::function([server] { return server->partBytes(); }) : nullptr;
    }
    return camera;
}

std::vector<Case> cases()
{
    using Rtsp = HostileRtspCamera;
    using Http = HostileHttpCamera;
    return {
        {"RTSP 302 to another host",
         [](bool password)
         {
             auto other = std::make_shared<OtherHost>();
             Camera camera = cameraOf(
                 std::make_shared<Rtsp>(Rtsp::Mode::Redirect, other->url("rtsp"), 1, password),
                 false);
             camera.other = other;
             return camera;
         }},
        {"HTTP 302 to another host",
         [](bool)
         {
             auto other = std::make_shared<OtherHost>();
             Camera camera =
                 cameraOf(std::make_shared<Http>(Http::Mode::Redirect, other->url("http")), false);
             camera.other = other;
             return camera;
         }},
        {"RTSP 302 to itself, for ever",
         [](bool) { return cameraOf(std::make_shared<Rtsp>(Rtsp::Mode::Redirect), false); }},
        {"RTSP endless H.264 picture",
         [](bool) { return cameraOf(std::make_shared<Rtsp>(Rtsp::Mode::EndlessPicture), true); }},
        {"HTTP 800 MB multipart part",
         [](bool) { return cameraOf(std::make_shared<Http>(Http::Mode::HugePart), true); }},
    };
}

// Whether play went on undisturbed since the listener was reset: no loss, no refusal.
bool stillPlaying(const velkortest::RecordingListener& listener)
{
    const auto events = listener.events();
    return std::none_of(events.begin(), events.end(),
                        [](const velkortest::RecordedEvent& event)
                        { return event.kind == "error" && (event.a == -51 || event.a == -52); });
}

// Until the flood passed kFlood or play lost the stream (`patience` at most), or 1.5 s for a
// camera without a flood.
void letItCome(const Camera& camera, std::chrono::seconds patience,
               const velkortest::RecordingListener* listener = nullptr)
{
    if (!camera.flood)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        return;
    }
    const auto until = Clock::now() + patience;
    while (camera.flood() < kFlood && (listener == nullptr || stillPlaying(*listener)) &&
           Clock::now() < until)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

struct Figures
{
    std::string reached = "-";
    int connections = 0;
    long peakMegabytes = 0;
    std::vector<double> stops;
    int playingAtStop = 0;
    std::vector<double> exits;
};

Figures measure(DeviceLibrary& api, velkortest::RecordingListener& listener, const Case& each,
                int rounds)
{
    Figures figures;
    {
        const Camera camera = each.make(true);
        const velkortest::PeakMemory memory;
        play(api, camera.url);
        std::this_thread::sleep_for(std::chrono::seconds(20));
        api.Close();
        figures.connections = camera.connections();
        figures.peakMegabytes = memory.megabytes();
        if (camera.other)
        {
            figures.reached = std::to_string(camera.other->connections()) + " connections, " +
                              std::to_string(camera.other->credentials()) + " with credentials";
        }
    }
    for (int round = 0; round < rounds; ++round)
    {
        const Camera camera = each.make(true);
        play(api, camera.url);
        listener.reset();
        letItCome(camera, std::chrono::seconds(20), &listener);
        figures.playingAtStop += stillPlaying(listener) ? 1 : 0;
        figures.stops.push_back(timed([&] { api.PlayControl(1, 1, nullptr, 0, nullptr); }));
        api.Close();
    }
    for (int round = 0; round < rounds; ++round)
    {
        const Camera camera = each.make(false);
        velkortest::ProcessRunner probe;
        if (probe.start({VELKOR_EXIT_PROBE_PATH, camera.url, "exit", "usr1"}))
        {
            // A process of its own, whose loss is not heard: past the silence deadline at most.
            letItCome(camera, std::chrono::seconds(6));
            probe.signal(SIGUSR1);
            figures.exits.push_back(timed([&] { probe.waitForExit(std::chrono::seconds(10)); }));
        }
    }
    return figures;
}

std::string medianAndWorst(std::vector<double> values)
{
    if (values.empty())
    {
        return "-";
    }
    std::sort(values.begin(), values.end());
    char text[64];
    std::snprintf(text, sizeof text, "%.2f / %.2f", values[values.size() / 2], values.back());
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::printf("load before: %.2f\n", LoadAverage());
    DeviceLibrary* api = GetVelkorAPI();
    velkortest::RecordingListener listener;
    api->Slot042(&listener);
    api->SetUserName("admin");
    api->SetPassword("s3cret");
    std::printf(
        "| case | reached the other host (20 s) | libavformat's connections to the "
        "camera / 20 s | Stop Live, s (median / worst of %d; still playing) | exit, s (median / "
        "worst of %d) | peak resident MB (20 s) |\n|---|---|---|---|---|---|\n",
        rounds, rounds);
    const std::string only = argc > 2 ? argv[2] : "";
    for (const Case& each : cases())
    {
        if (std::string(each.name).find(only) == std::string::npos)
        {
            continue;
        }
        const Figures figures = measure(*api, listener, each, rounds);
        std::printf("| %s | %s | %d | %s; %d | %s | %ld |\n", each.name, figures.reached.c_str(),
                    figures.connections, medianAndWorst(figures.stops).c_str(),
                    figures.playingAtStop, medianAndWorst(figures.exits).c_str(),
                    figures.peakMegabytes);
        std::fflush(stdout);
    }
    std::printf("load after: %.2f\n", LoadAverage());
    return 0;
}
