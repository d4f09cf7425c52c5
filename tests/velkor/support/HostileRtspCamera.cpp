#include "tests/velkor/support/HostileRtspCamera.h"

#include <chrono>
#include <cstdint>

namespace velkortest
{
namespace
{

std::string lineOf(const std::string& head, const std::string& name)
{
    const auto at = head.find(name);
    return at == std::string::npos ? std::string()
                                   : head.substr(at, head.find("\r\n", at) - at + 2);
}

std::string reply(const std::string& head, const std::string& status,
                  const std::string& headers = {}, const std::string& body = {})
{
    return "RTSP/1.0 " + status + "\r\n" + lineOf(head, "CSeq: ") + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// One RTP packet interleaved on channel 0, as RTP over the RTSP connection travels.
std::string interleaved(std::uint16_t sequence, const std::string& payload)
{
    std::string packet = "$";
    packet += '\0';
    const std::size_t size = 12 + payload.size();
    packet += static_cast<char>(size >> 8);
    packet += static_cast<char>(size & 0xFF);
    const unsigned char header[12] = {0x80,
                                      96,
                                      static_cast<unsigned char>(sequence >> 8),
                                      static_cast<unsigned char>(sequence & 0xFF),
                                      0,
                                      0,
                                      0x10,
                                      0,
                                      0x12,
                                      0x34,
                                      0x56,
                                      0x78};
    packet.append(reinterpret_cast<const char*>(header), sizeof header);
    return packet + payload;
}

} // namespace

HostileRtspCamera::HostileRtspCamera(Mode mode, std::string location, int tracks,
                                     bool asksForPassword)
    : m_mode(mode), m_location(std::move(location)), m_tracks(tracks),
      m_asksForPassword(asksForPassword),
      m_server([this](const std::string&, const std::string& head, LoopbackConnection& connection)
               { serve(head, connection); })
{
}

std::string HostileRtspCamera::url() const
{
    return "rtsp://127.0.0.1:" + std::to_string(m_server.port()) + "/hostile";
}

void HostileRtspCamera::serve(std::string head, LoopbackConnection& connection)
{
    const bool fromLibavformat = head.rfind("OPTIONS ", 0) == 0;
    if (fromLibavformat)
    {
        ++m_conversations;
    }
    while (!head.empty() && answer(head, fromLibavformat, connection))
    {
        head = connection.nextHead();
    }
}

bool HostileRtspCamera::answer(const std::string& head, bool fromLibavformat,
                               LoopbackConnection& connection)
{
    if (m_asksForPassword && head.find("\r\nAuthorization: ") == std::string::npos)
    {
        return connection.send(
            reply(head, "401 Unauthorized", "WWW-Authenticate: Basic realm=\"camera\"\r\n"));
    }
    if (head.rfind("DESCRIBE ", 0) == 0)
    {
        if ((fromLibavformat && m_mode == Mode::Redirect) || m_mode == Mode::RedirectAtOpen)
        {
            const std::string location = m_location.empty() ? url() + "/again" : m_location;
            return connection.send(reply(head, "302 Found", "Location: " + location + "\r\n"));
        }
        return connection.send(
            reply(head, "200 OK", "Content-Type: application/sdp\r\n", description()));
    }
    if (head.rfind("SETUP ", 0) == 0)
    {
        ++m_setups;
        return connection.send(reply(
            head, "200 OK", "Transport: RTP/AVP/TCP;unicast;interleaved=0-1\r\nSession: 7\r\n"));
    }
    if (head.rfind("PLAY ", 0) == 0)
    {
        if (!connection.send(reply(head, "200 OK", "Session: 7\r\n")))
        {
            return false;
        }
        if (m_mode == Mode::EndlessPicture)
        {
            sendEndlessPicture(connection);
            return false;
        }
        return true;
    }
    return connection.send(reply(head, "200 OK", "Public: DESCRIBE, SETUP, PLAY, TEARDOWN\r\n"));
}

std::string HostileRtspCamera::description() const
{
    std::string sdp = "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=Hostile\r\nt=0 0\r\n";
    for (int track = 1; track <= m_tracks; ++track)
    {
        sdp += "m=video 0 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\na=control:track" +
               std::to_string(track) + "\r\n";
    }
    return sdp;
}

void HostileRtspCamera::sendEndlessPicture(LoopbackConnection& connection)
{
    // FU-A fragments of one IDR slice (type 5): the first with its start bit, then no end bit
    // ever. Their bytes hold no start code, so a parser never finds where the picture ends.
    const std::string body(1400, '\xAA');
    std::string first = "\x7C\x85";
    first += body;
    std::string middle = "\x7C\x05";
    middle += body;
    std::uint16_t sequence = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    if (!connection.send(interleaved(sequence++, first)))
    {
        return;
    }
    while (std::chrono::steady_clock::now() < until)
    {
        std::string chunk;
        for (int i = 0; i < 64; ++i)
        {
            chunk += interleaved(sequence++, middle);
        }
        if (!connection.send(chunk))
        {
            return;
        }
        m_pictureBytes += static_cast<long long>(chunk.size());
    }
}

} // namespace velkortest
