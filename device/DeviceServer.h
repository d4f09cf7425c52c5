#pragma once

#include "device/AlarmSchedule.h"
#include "device/Authenticator.h"
#include "device/DeviceConfig.h"
#include "device/EventBus.h"
#include "device/GuardedHttpServer.h"
#include "device/OnvifService.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace velkordevice
{

class ChannelSource;

// The HTTP face of the device: routes, authentication, limits and the shutdown sequence.
class DeviceServer
{
public:
    explicit DeviceServer(const DeviceConfig& config);
    ~DeviceServer();
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // Binds the listening socket; returns the port (the chosen one for port 0) or -1.
    int bind();
    // Serves until stop(); false if the listening socket failed.
    bool run();
    // Safe from any thread, before, during or after run().
    void stop();

    std::string infoBody() const;

private:
    HttpReply route(const HttpRequest& request);
    HttpReply serveLive(const HttpRequest& request);
    HttpReply serveEvents();
    // "ADDR:PORT" of the listening socket.
    std::string listeningHost() const;

    DeviceConfig m_config;
    Authenticator m_authenticator;
    EventBus m_events;
    AlarmSchedule m_alarms;
    OnvifService m_onvif;
    int m_boundPort = 0;
    std::vector<std::shared_ptr<ChannelSource>> m_channels;
    GuardedHttpServer m_server;
    std::atomic<bool> m_stopping{false};
};

} // namespace velkordevice
