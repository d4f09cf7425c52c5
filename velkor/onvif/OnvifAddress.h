#pragma once

#include <string>

namespace velkor
{

// Where the library asks what an ONVIF camera names by address: its services (the XAddrs of
// GetCapabilities and GetServices, a pull-point subscription's address) and its stream URIs. A
// camera names them by the address it has on its own network, which is not reachable from here
// when it is reached through port forwarding or by a host name, and some cameras name 0.0.0.0
// or an address they no longer have. So they are asked at the host the user set, which is also
// the only host the credentials go to.
class OnvifAddress
{
public:
    // `named` (absolute, or relative to `asked`) at the scheme, host and port of `asked`, with
    // its own path and query; only the path of `asked` when `named` is no URL at all.
    static std::string service(const std::string& named, const std::string& asked);

    // The stream URI `named` at the host of `asked`, with its own scheme, port, path, query and
    // user information. A stream on the HTTP server of the service `servedBy` (its scheme, host
    // and port as the camera named them) is that server's, so it takes the port of `asked` too.
    // Empty when `named` is no URL.
    static std::string stream(const std::string& named, const std::string& asked,
                              const std::string& servedBy);
};

} // namespace velkor
