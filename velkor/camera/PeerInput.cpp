#include "velkor/camera/PeerInput.h"

#include <curl/curl.h>
#include <dirent.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <memory>

namespace velkor
{
namespace
{

std::optional<int> portOf(const std::string& url)
{
    const std::unique_ptr<CURLU, void (*)(CURLU*)> parsed(curl_url(), curl_url_cleanup);
    char* port = nullptr;
    if (!parsed ||
        curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
            CURLUE_OK ||
        curl_url_get(parsed.get(), CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) != CURLUE_OK)
    {
        return std::nullopt;
    }
    const int number = std::atoi(port);
    curl_free(port);
    return number;
}

std::optional<int> peerPortOf(int socket)
{
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
    {
        return std::nullopt;
    }
    if (peer.ss_family == AF_INET)
    {
        return ntohs(reinterpret_cast<const sockaddr_in&>(peer).sin_port);
    }
    if (peer.ss_family == AF_INET6)
    {
        return ntohs(reinterpret_cast<const sockaddr_in6&>(peer).sin6_port);
    }
    return std::nullopt;
}

} // namespace

void PeerInput::find(const std::string& url)
{
    m_socket = -1;
    const auto port = portOf(url);
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir("/proc/self/fd"), ::closedir);
    if (!port || !folder)
    {
        return;
    }
    // The newest is the one libavformat just opened: a descriptor's number is the lowest free.
    // That is not always the newest, but a camera has one connection from this process at a time
    // but for the moment Open asks it.
    while (const dirent* entry = ::readdir(folder.get()))
    {
        const int socket = std::atoi(entry->d_name);
        int type = 0;
        socklen_t size = sizeof type;
        if (socket > 2 && ::getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &size) == 0 &&
            type == SOCK_STREAM && peerPortOf(socket) == port && socket > m_socket)
        {
            m_socket = socket;
        }
    }
}

std::optional<std::uint64_t> PeerInput::bytesReceived() const
{
    tcp_info info{};
    socklen_t size = sizeof info;
    if (m_socket < 0 || ::getsockopt(m_socket, IPPROTO_TCP, TCP_INFO, &info, &size) != 0 ||
        size < sizeof info)
    {
        return std::nullopt;
    }
    return info.tcpi_bytes_received;
}

} // namespace velkor
