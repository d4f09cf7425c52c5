#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velkor
{

// How many bytes have come from a camera over the TCP connection libavformat keeps to it: the
// kernel's count (TCP_INFO) of the newest connection of this process to the camera's port.
// libavformat tells no one how much arrived; this says whether anything did while no picture
// came. RTP over UDP is not counted.
class PeerInput
{
public:
    // Finds the connection to the port of `url`; call once the stream is open.
    void find(const std::string& url);
    // Nothing when no such connection was found or it is gone.
    std::optional<std::uint64_t> bytesReceived() const;

private:
    int m_socket = -1;
};

} // namespace velkor
