#pragma once

#include <string>

namespace velkordevice
{

enum class AuthMode
{
    None,
    Basic,
    Digest
};

// Whether a stream is served from a few seconds encoded ahead of time and played over and over.
enum class LoopMode
{
    // Where live encoding falls short of the frame rate.
    Auto,
    Always,
    Never
};

struct DeviceConfig
{
    std::string address = "127.0.0.1";
    int port = 18080;
    int channels = 4;
    int fps = 25;
    std::string user;
    std::string password;
    AuthMode auth = AuthMode::None;
    int nonceLifetimeSeconds = 300;
    int alarmIntervalSeconds = 10;
    long long uid = 417;
    int maxConnections = 16;
    LoopMode loop = LoopMode::Auto;
    // Which protocols the HTTP port speaks.
    bool velkorProtocol = true;
    bool onvifProtocol = true;
    // Added to the system clock for the time ONVIF reports and checks credentials against.
    long long onvifClockOffsetSeconds = 0;
    // Whether GetCapabilities and GetServices name the event service; its paths answer either way.
    bool onvifEventsListed = true;
    // Whether the event service and its subscriptions refuse requests without WS-Addressing's
    // wsa:Action and wsa:To, and a subscription's without its reference parameter.
    bool onvifAddressingRequired = false;
    // What GetStreamUri names, with {channel}, {width} and {format} filled in; empty for the
    // device's own /velkor/live.
    std::string onvifStreamUri;
    // The host ONVIF's addresses name, IPv6 in brackets; empty for the one the client reached.
    std::string onvifNamedHost;
};

} // namespace velkordevice
