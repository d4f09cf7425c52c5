#pragma once

#include <chrono>
#include <cstddef>

namespace velkordevice
{

// What one request may take of the device before it is refused or the connection dropped.
struct RequestLimits
{
    std::size_t requestLine = 8192;
    std::size_t headerLine = 8192;
    // All header lines of a request together.
    std::size_t headerBlock = 16384;
    std::size_t body = 4096;
    // From the end of a reply (or the connect) to the first byte of the next request.
    std::chrono::milliseconds idle{2000};
    // From the first byte of a request to its last.
    std::chrono::milliseconds arrival{5000};
    // For the peer to take any of a reply.
    std::chrono::milliseconds write{5000};
    // Requests served on one connection.
    std::size_t requestsPerConnection = 100;
};

} // namespace velkordevice
