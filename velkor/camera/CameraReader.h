#pragma once

#include "velkor/camera/CameraInput.h"
#include "velkor/camera/CameraUrl.h"
#include "velkor/camera/PeerInput.h"
#include "velkor/decode/StreamFormats.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>

struct AVCodecParameters;
struct AVDictionary;
struct AVFormatContext;
struct AVInputFormat;
struct AVPacket;

namespace velkor
{

// How a camera's pictures travel.
enum class CameraTransport
{
    RtspTcp,
    RtspUdp,
    HttpJpeg
};

// Reads the video of one camera stream with libavformat: RTSP (interleaved in the TCP connection,
// or over UDP where the camera refuses that) or multipart JPEG over HTTP. Nothing is probed that
// the stream's description already says, so the first packet is handed on as soon as it arrives.
// Every wait on the network ends when the stop is requested or nothing arrived for kSilence,
// through libavformat's interrupt callback, which it asks at least every 100 ms; a stop leaves an
// opening that waits for a name lookup behind (CameraInput). A picture larger than
// kMaxPictureBytes is dropped and counted.
class CameraReader
{
public:
    static constexpr std::chrono::milliseconds kSilence{5000};
    // As a velkor device's multipart part.
    static constexpr int kMaxPictureBytes = 8 << 20;
    // The largest block libavutil allocates in the process: a parser that collects a larger
    // picture fails there and drops it, so memory stays bounded however long a picture is. When
    // a read is interrupted, libavformat hands on what its parser holds, once more copied and
    // scanned, which a stop waits for: the smaller this is, the sooner a stop returns. Twice the
    // picture cap, as a growing buffer is copied; it holds the largest plane a decoder allocates
    // for a picture of 3840 x 2160 at 10 bits (16.7 MB).
    static constexpr std::size_t kMaxAllocation = std::size_t{16} << 20;
    static constexpr std::chrono::milliseconds kUdpFallbackPause{100};
    // Before libavformat is asked again for a packet it did not have yet.
    static constexpr std::chrono::milliseconds kAgainPause{5};

    enum class Result
    {
        Packet,
        // The camera ended the stream, or nothing came for kSilence, or the connection failed.
        Lost,
        // The camera refused the stream (its credentials, its path) or sends no video this
        // library decodes: asking again would not help.
        Refused,
        Stopped
    };

    explicit CameraReader(std::stop_token stop);
    ~CameraReader();
    CameraReader(const CameraReader&) = delete;
    CameraReader& operator=(const CameraReader&) = delete;

    // `url` holds the credentials.
    Result open(const std::string& url, CameraScheme scheme);
    // The next packet of the video track.
    Result read(AVPacket& packet);
    // Whether a multipart stream lost its boundary (a part's length lied) before the last
    // packet, and that part was skipped.
    bool skippedToBoundary() const { return m_skippedToBoundary; }
    // Whether the last failure was a refused connection or a busy answer (5xx), which cameras
    // give for a moment while they start or end a stream.
    bool turnedAway() const { return m_turnedAway; }

    // Valid after open() gave Packet.
    VideoCodec codec() const { return m_codec; }
    const AVCodecParameters& parameters() const;
    CameraTransport transport() const { return m_transport; }
    // The wall-clock time, in microseconds since the Unix epoch, at which the camera says it took
    // a packet's picture; nothing when its sender reports do not give wall-clock time (yet).
    std::optional<std::int64_t> capturedAt(const AVPacket& packet) const;
    // The length of one tick of the video track's presentation times.
    double microsecondsPerTick() const;
    // What went wrong, for messages.
    const std::string& error() const { return m_error; }
    // The options that libavformat did not use when the stream opened ("key=value, ..."): a
    // libavformat other than the one the library was written for; empty when it used them all.
    const std::string& unusedOptions() const { return m_unusedOptions; }
    // Pictures dropped for their size since open().
    std::uint64_t picturesCutOff() const;

private:
    // Why nothing played for kSilence: nothing arrived, or bytes did but no picture.
    std::string silence() const;
    // `rtspTransport` null for HTTP.
    Result openWith(const std::string& url, const char* rtspTransport);
    // What libavformat is told for this camera's scheme; sets m_transport, and `format` for HTTP.
    AVDictionary* optionsFor(const std::string& url, const char* rtspTransport,
                             const AVInputFormat*& format);
    // Why opening gave `code`.
    Result notOpened(int code, bool rtsp);
    // The first video track, when it is one the library decodes.
    Result chooseVideo();
    Result failed(int code);
    bool skipToBoundary(int code);
    void close();

    std::stop_token m_stop;
    CameraInput m_input;
    // m_input's, while open.
    AVFormatContext* m_context = nullptr;
    int m_videoIndex = -1;
    VideoCodec m_codec = VideoCodec::Jpeg;
    CameraTransport m_transport = CameraTransport::RtspTcp;
    bool m_turnedAway = false;
    bool m_skippedToBoundary = false;
    std::string m_error;
    std::string m_unusedOptions;
    std::uint64_t m_cutOff = 0;
    PeerInput m_peer;
    // What had come from the camera when the last packet came, when the kernel says.
    std::optional<std::uint64_t> m_peerAtPacket;
};

} // namespace velkor
