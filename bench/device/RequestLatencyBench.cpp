// Requests on loopback must not wait for the peer's delayed ACK: a keep-alive request, and the
// two requests of a digest-authenticated open, each take a few milliseconds at most (median).
#include "device/DeviceConfig.h"
#include "device/DeviceServer.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace velkordevice
{

namespace
{

using CurlHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

// The emulator's server on a free loopback port, served by a thread of its own.
class ServedDevice
{
public:
    explicit ServedDevice(const DeviceConfig& config) : m_server(config), m_port(m_server.bind())
    {
        m_thread = std::thread([this] { m_server.run(); });
    }
    ~ServedDevice()
    {
        m_server.stop();
        m_thread.join();
    }
    ServedDevice(const ServedDevice&) = delete;
    ServedDevice& operator=(const ServedDevice&) = delete;

    std::string url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

private:
    DeviceServer m_server;
    int m_port;
    std::thread m_thread;
};

DeviceConfig quietDevice()
{
    DeviceConfig config;
    config.port = 0;
    config.channels = 1;
    config.alarmIntervalSeconds = 0;
    return config;
}

std::size_t discard(char*, std::size_t size, std::size_t count, void*)
{
    return size * count;
}

CurlHandle fetcher(const std::string& url)
{
    CurlHandle curl(curl_easy_init(), &curl_easy_cleanup);
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, 5000L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &discard);
    return curl;
}

bool fetchOk(CURL* curl)
{
    long status = 0;
    return curl_easy_perform(curl) == CURLE_OK &&
           curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status == 200;
}

void reportMedian(benchmark::State& state, std::vector<double>& milliseconds)
{
    if (milliseconds.empty())
    {
        return;
    }
    std::nth_element(milliseconds.begin(), milliseconds.begin() + milliseconds.size() / 2,
                     milliseconds.end());
    state.counters["median_ms"] = milliseconds[milliseconds.size() / 2];
}

// One request after another on the same connection, as the library's info queries go.
void BM_KeepAliveRequest(benchmark::State& state)
{
    ServedDevice device(quietDevice());
    CurlHandle curl = fetcher(device.url("/velkor/info"));
    std::vector<double> milliseconds;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        if (!fetchOk(curl.get()))
        {
            state.SkipWithError("request failed");
            break;
        }
        milliseconds.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    reportMedian(state, milliseconds);
}
BENCHMARK(BM_KeepAliveRequest)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

// A fresh connection that meets the digest challenge and asks again, as the library's Open does.
void BM_DigestOpen(benchmark::State& state)
{
    DeviceConfig config = quietDevice();
    config.user = "admin";
    config.password = "secret";
    config.auth = AuthMode::Digest;
    ServedDevice device(config);
    std::vector<double> milliseconds;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        CurlHandle curl = fetcher(device.url("/velkor/info"));
        curl_easy_setopt(curl.get(), CURLOPT_HTTPAUTH, CURLAUTH_ANY);
        curl_easy_setopt(curl.get(), CURLOPT_USERPWD, "admin:secret");
        if (!fetchOk(curl.get()))
        {
            state.SkipWithError("open failed");
            break;
        }
        milliseconds.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    reportMedian(state, milliseconds);
}
BENCHMARK(BM_DigestOpen)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

} // namespace velkordevice
