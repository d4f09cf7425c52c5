// What hostile cameras get out of the library: where a redirect away leads (connections and
// credentials at the other host, over 5 s of play), how often a camera that redirects to itself
// is asked (over 20 s), and, while one endless H.264 picture over RTSP or one 800 MB multipart
// part over HTTP arrives, how long Stop Live and process exit take and how large the process
// grows. Prints each figure per round, the median and the worst, and the load.
// Usage: velkor_hostile_bench [ROUNDS]   (default 3; cameras of its own on loopback, no display)
#include "bench/support/ProcessClock.h"
#include "devicelib/DeviceLibrary.h"
#include "tests/support/ProcessRunner.h"
#include "tests/velkor/support/HostileHttpCamera.h"
#include "tests/velkor/support/HostileRtspCamera.h"
#include "tests/velkor/support/LoopbackServer.h"
#include "tests/velkor/support/PeakMemory.h"
#include "tests/velkor/support/RecordingListener.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
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

void waitFor(const std::function<bool()>& done, std::chrono::seconds patience)
{
    const auto until = Clock::now() + patience;
    while (!done() && Clock::now() < until)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
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
                      const std::string status =
                          head.find(" RTSP/1.0\r\n") != std::string::npos ? "RTSP/1.0" : "HTTP/1.1";
                      connection.send(status + " 401 Unauthorized\r\n" + sequence +
                                      "WWW-Authenticate: Basic realm=\"x\"\r\n"
                                      "Content-Length: 0\r\n\r\n");
                      head = connection.nextHead();
                  }
              })
    {
    }
    int port() const { return m_server.port(); }
    int connections() const { return m_server.accepted(); }
    int credentials() const { return m_credentials.load(); }

private:
    std::atomic<int> m_credentials{0};
    LoopbackServer m_server;
};

void redirectAway(DeviceLibrary& api, std::map<std::string, std::vector<double>>& figures)
{
    api.SetUserName("admin");
    api.SetPassword("s3cret");
    for (const bool rtsp : {true, false})
    {
        OtherHost other;
        const std::string away = std::string(rtsp ? "rtsp" : "http") +
                                 "://127.0.0.1:" + std::to_string(other.port()) + "/elsewhere";
        HostileRtspCamera rtspCamera(HostileRtspCamera::Mode::Redirect, away, 1, true);
        HostileHttpCamera httpCamera(HostileHttpCamera::Mode::Redirect, away);
        play(api, rtsp ? rtspCamera.url() : httpCamera.url());
        std::this_thread::sleep_for(std::chrono::seconds(5));
        api.Close();
        const std::string name = rtsp ? "RTSP" : "HTTP";
        figures[name + " redirect away, 5 s: connections at the other host"].push_back(
            other.connections());
        figures[name + " redirect away, 5 s: requests with credentials there"].push_back(
            other.credentials());
    }
    api.SetUserName("");
    api.SetPassword("");
}

void redirectLoop(DeviceLibrary& api, std::map<std::string, std::vector<double>>& figures)
{
    HostileRtspCamera camera(HostileRtspCamera::Mode::Redirect);
    play(api, camera.url());
    std::this_thread::sleep_for(std::chrono::seconds(20));
    api.Close();
    figures["RTSP redirect to itself, 20 s: libavformat's connections"].push_back(
        camera.conversations());
}

void floods(DeviceLibrary& api, std::map<std::string, std::vector<double>>& figures)
{
    {
        HostileRtspCamera camera(HostileRtspCamera::Mode::EndlessPicture);
        const velkortest::PeakMemory memory;
        play(api, camera.url());
        waitFor([&] { return camera.pictureBytes() >= kFlood; }, std::chrono::seconds(20));
        figures["endless RTSP picture: Stop Live, s"].push_back(
            timed([&] { api.PlayControl(1, 1, nullptr, 0, nullptr); }));
        figures["endless RTSP picture: peak resident MB"].push_back(memory.megabytes());
        api.Close();
    }
    {
        HostileHttpCamera camera(HostileHttpCamera::Mode::HugePart);
        const velkortest::PeakMemory memory;
        play(api, camera.url());
        waitFor([&] { return camera.partBytes() >= kFlood; }, std::chrono::seconds(20));
        figures["800 MB HTTP part: Stop Live, s"].push_back(
            timed([&] { api.PlayControl(1, 1, nullptr, 0, nullptr); }));
        figures["800 MB HTTP part: peak resident MB"].push_back(memory.megabytes());
        api.Close();
    }
    HostileRtspCamera camera(HostileRtspCamera::Mode::EndlessPicture);
    velkortest::ProcessRunner probe;
    if (probe.start({VELKOR_EXIT_PROBE_PATH, camera.url(), "exit", "usr1"}))
    {
        waitFor([&] { return camera.pictureBytes() >= kFlood; }, std::chrono::seconds(20));
        probe.signal(SIGUSR1);
        figures["endless RTSP picture: exit, s"].push_back(
            timed([&] { probe.waitForExit(std::chrono::seconds(10)); }));
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::printf("load before: %.2f\n", LoadAverage());
    DeviceLibrary* api = GetVelkorAPI();
    velkortest::RecordingListener listener;
    api->Slot042(&listener);
    std::map<std::string, std::vector<double>> figures;
    redirectAway(*api, figures);
    redirectLoop(*api, figures);
    for (int round = 0; round < rounds; ++round)
    {
        floods(*api, figures);
    }
    for (auto& [name, values] : figures)
    {
        std::string each;
        for (const double value : values)
        {
            each += " " + std::to_string(value).substr(0, 6);
        }
        std::sort(values.begin(), values.end());
        std::printf("%-62s median %8.3f  worst %8.3f  (%s )\n", name.c_str(),
                    values[values.size() / 2], values.back(), each.c_str());
    }
    std::printf("load after: %.2f\n", LoadAverage());
    return 0;
}
