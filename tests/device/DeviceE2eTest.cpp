#include "common/Base64.h"
#include "device/AuthParams.h"
#include "device/DigestCalculator.h"
#include "device/FrameGeometry.h"
#include "device/StreamFormats.h"
#include "tests/device/AccessUnitProbe.h"
#include "tests/device/HttpConnection.h"
#include "tests/device/JpegProbe.h"
#include "tests/support/Emulator.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <regex>
#include <thread>

namespace velkordevice
{

namespace
{

using namespace std::chrono_literals;
using velkortest::Emulator;

// Asks `done` every 20 ms until it holds; false when it still does not after `patience`.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds patience = 10s)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!done())
    {
        if (std::chrono::steady_clock::now() >= deadline)
        {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

struct Part
{
    std::map<std::string, std::string> headers;
    std::vector<unsigned char> data;
    uint64_t frame() const { return std::stoull(headers.at("x-frame")); }
    bool keyframe() const { return headers.at("x-keyframe") == "1"; }
};

// One multipart part as the protocol lays it out, or nullopt at the first deviation.
std::optional<Part> readPart(HttpConnection& connection)
{
    auto boundary = connection.readLine();
    if (!boundary || *boundary != "--velkorframe")
    {
        return std::nullopt;
    }
    Part part;
    while (true)
    {
        auto line = connection.readLine();
        if (!line)
        {
            return std::nullopt;
        }
        if (line->empty())
        {
            break;
        }
        const auto colon = line->find(": ");
        if (colon == std::string::npos)
        {
            return std::nullopt;
        }
        std::string name = line->substr(0, colon);
        for (char& c : name)
        {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        part.headers[name] = line->substr(colon + 2);
    }
    for (const char* required :
         {"content-type", "content-length", "x-frame", "x-keyframe", "x-timestamp"})
    {
        if (!part.headers.count(required))
        {
            return std::nullopt;
        }
    }
    if (part.headers["x-keyframe"] != "0" && part.headers["x-keyframe"] != "1")
    {
        return std::nullopt;
    }
    auto body = connection.readExact(std::stoul(part.headers["content-length"]));
    auto tail = connection.readExact(2);
    if (!body || !tail || *tail != "\r\n")
    {
        return std::nullopt;
    }
    part.data.assign(body->begin(), body->end());
    return part;
}

struct Event
{
    std::string kind; // empty for a comment
    std::string data;
};

std::optional<Event> readEvent(HttpConnection& connection)
{
    Event event;
    while (true)
    {
        auto line = connection.readLine();
        if (!line)
        {
            return std::nullopt;
        }
        if (line->empty())
        {
            return event;
        }
        if (line->rfind("event: ", 0) == 0)
        {
            event.kind = line->substr(7);
        }
        else if (line->rfind("data: ", 0) == 0)
        {
            event.data = line->substr(6);
        }
        else if (line->rfind(":", 0) == 0)
        {
            event.data = *line;
        }
        else
        {
            return std::nullopt;
        }
    }
}

// A type of its own: glibc 2.41 marks pclose() nonnull, which a function pointer type drops.
struct PipeCloser
{
    void operator()(FILE* pipe) const { pclose(pipe); }
};
using Ffmpeg = std::unique_ptr<FILE, PipeCloser>;

// ffmpeg decoding `frames` pictures of a raw stream of the device, its report read from the pipe.
Ffmpeg startFfmpeg(int port, const std::string& target, const char* demuxer, int frames)
{
    // A small probe size: by default ffmpeg reads seconds of a raw stream before it decodes.
    const std::string command = "ffmpeg -nostdin -hide_banner -v error -probesize 32 -f " +
                                std::string(demuxer) +
                                " -i 'http://127.0.0.1:" + std::to_string(port) + target +
                                "' -frames:v " + std::to_string(frames) + " -f framecrc - 2>&1";
    return Ffmpeg(popen(command.c_str(), "r"));
}

struct FfmpegOutcome
{
    int frames = 0;
    // Every line of ffmpeg's that is neither a comment nor a decoded picture.
    std::string unexpected;
    bool exitedCleanly = false;
};

FfmpegOutcome finishFfmpeg(Ffmpeg pipe, std::size_t pictureBytes)
{
    FfmpegOutcome outcome;
    const std::regex picture(R"(^0, +\d+, +\d+, +\d+, +)" + std::to_string(pictureBytes) +
                             R"(, 0x[0-9a-f]{8})");
    char line[512];
    while (std::fgets(line, sizeof line, pipe.get()))
    {
        if (line[0] == '#')
        {
            continue;
        }
        if (std::regex_search(line, picture))
        {
            ++outcome.frames;
        }
        else
        {
            outcome.unexpected += line;
        }
    }
    const int status = pclose(pipe.release());
    outcome.exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return outcome;
}

class DeviceE2eTest : public ::testing::Test
{
protected:
    void launch(const std::vector<std::string>& args)
    {
        m_device = std::make_unique<Emulator>(args);
        ASSERT_TRUE(m_device->ready()) << m_device->banner();
    }
    void TearDown() override
    {
        // Every run must also end cleanly on SIGTERM.
        if (m_device)
        {
            EXPECT_EQ(m_device->stop(), 0);
        }
    }
    int port() const { return m_device->port(); }

    std::unique_ptr<Emulator> m_device;
};

TEST_F(DeviceE2eTest, InfoDescribesTheDevice)
{
    launch({"--uid", "1234", "--channels", "3"});
    auto reply = HttpConnection::get(port(), "/velkor/info");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->head.status, 200);
    EXPECT_EQ(reply->head.header("content-type"), "text/plain; charset=utf-8");
    EXPECT_EQ(reply->body, "device=velkor-device\nuid=1234\nchannels=3\n"
                           "formats=jpeg,mpeg4,h264,h265\n"
                           "widths=320,640,800,960,1280,1920,2048\n"
                           "widths.mpeg4=320,640\n"
                           "widths.h264=320,640,800,960,1280,1920\n"
                           "widths.h265=320,640,800,960,1280,1920\n"
                           "version=2\n");
    for (const char* other : {"/", "/velkor", "/velkor/info/x", "/velkor/liveX"})
    {
        auto missing = HttpConnection::get(port(), other);
        ASSERT_TRUE(missing) << other;
        EXPECT_EQ(missing->head.status, 404) << other;
    }
}

TEST_F(DeviceE2eTest, LiveStreamsDecodableFramesAtEveryWidth)
{
    launch({"--fps", "30"});
    for (int width : StreamFormats::widths(StreamFormat::Jpeg))
    {
        HttpConnection connection;
        ASSERT_TRUE(connection.open(port()));
        ASSERT_TRUE(connection.sendGet("/velkor/live?channel=2&width=" + std::to_string(width)));
        auto head = connection.readHead();
        ASSERT_TRUE(head);
        EXPECT_EQ(head->status, 200);
        EXPECT_EQ(head->header("content-type"), "multipart/x-mixed-replace; boundary=velkorframe");
        std::optional<uint64_t> previous;
        for (int i = 0; i < 3; ++i)
        {
            auto part = readPart(connection);
            ASSERT_TRUE(part) << width;
            EXPECT_EQ(part->headers["content-type"], "image/jpeg");
            EXPECT_TRUE(part->keyframe());
            const auto info = JpegProbe::decode(part->data);
            ASSERT_TRUE(info) << width;
            EXPECT_EQ(info->width, width);
            EXPECT_EQ(info->height, FrameGeometry::heightFor(width));
            if (previous)
            {
                EXPECT_GT(part->frame(), *previous);
            }
            previous = part->frame();
        }
    }
}

TEST_F(DeviceE2eTest, LiveRefusesUnknownChannelsAndWidths)
{
    launch({"--channels", "4"});
    const std::pair<const char*, int> cases[] = {
        {"/velkor/live?channel=0&width=640", 404},
        {"/velkor/live?channel=5&width=640", 404},
        {"/velkor/live?channel=x&width=640", 404},
        {"/velkor/live?width=640", 404},
        {"/velkor/live?channel=1&width=641", 400},
        {"/velkor/live?channel=1&width=abc", 400},
        {"/velkor/live?channel=1", 400},
        {"/velkor/live?channel=4&width=-640", 400},
        {"/velkor/live?channel=4&width=6400", 400},
        {"/velkor/live?channel=1&width=640&format=jpeg", 200},
        {"/velkor/live?channel=1&width=640&format=tessel", 400},
        {"/velkor/live?channel=1&width=640&format=H264", 400},
        {"/velkor/live?channel=1&width=640&format=", 400},
        {"/velkor/live?channel=9&width=640&format=tessel", 404},
        {"/velkor/live?channel=1&width=2048&format=h264", 400},
        {"/velkor/live?channel=1&width=2048&format=h265", 400},
        {"/velkor/live?channel=1&width=800&format=mpeg4", 400},
        {"/velkor/live?channel=1&format=h264", 400},
        {"/velkor/live?channel=1&width=640&format=h264&framing=chunked", 400},
        {"/velkor/live?channel=1&width=640&format=h264&framing=", 400},
        {"/velkor/live?channel=1&width=640&format=h264&format=jpeg", 400},
        {"/velkor/live?channel=1&channel=1&width=640", 400},
        {"/velkor/live?channel=1&width=640&framing=raw&framing=raw", 400},
        {"/velkor/live?channel=01&width=640", 404},
        {"/velkor/live?channel=+1&width=640", 404},
        {"/velkor/live?channel=1&width=0640", 400},
        {"/velkor/live?channel=1&width=%20640", 400},
    };
    for (const auto& [target, status] : cases)
    {
        HttpConnection connection;
        ASSERT_TRUE(connection.open(port()));
        ASSERT_TRUE(connection.sendGet(target));
        auto head = connection.readHead();
        ASSERT_TRUE(head) << target;
        EXPECT_EQ(head->status, status) << target;
        if (status != 200)
        {
            EXPECT_EQ(head->header("content-type"), "text/plain; charset=utf-8") << target;
        }
    }
}

TEST_F(DeviceE2eTest, VideoPartsAreMarkedAndANewReaderStartsAtAKeyframe)
{
    launch({"--fps", "25", "--channels", "1"});
    const auto now = []
    {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    for (StreamFormat format : {StreamFormat::Mpeg4, StreamFormat::H264, StreamFormat::H265})
    {
        const std::string name = StreamFormats::name(format);
        const std::string target = "/velkor/live?channel=1&width=320&format=" + name;
        HttpConnection first;
        ASSERT_TRUE(first.open(port()));
        ASSERT_TRUE(first.sendGet(target));
        auto head = first.readHead();
        ASSERT_TRUE(head);
        ASSERT_EQ(head->status, 200);
        EXPECT_EQ(head->header("content-type"), "multipart/x-mixed-replace; boundary=velkorframe");

        // Read until the stream is between keyframes, so that the next reader joins mid-stream.
        std::optional<Part> latest;
        std::int64_t previousStamp = 0;
        for (int i = 0; i < 50 && (!latest || latest->keyframe()); ++i)
        {
            latest = readPart(first);
            ASSERT_TRUE(latest) << name;
            EXPECT_EQ(latest->headers["content-type"], StreamFormats::contentType(format));
            EXPECT_EQ(AccessUnitProbe::startsStream(format, latest->data), latest->keyframe())
                << name;
            const std::int64_t stamp = std::stoll(latest->headers["x-timestamp"]);
            EXPECT_GE(stamp, previousStamp) << name;
            EXPECT_LT(std::abs(stamp - now()), 60'000'000) << "wall clock in microseconds";
            previousStamp = stamp;
        }
        ASSERT_FALSE(latest->keyframe()) << name;

        HttpConnection second;
        ASSERT_TRUE(second.open(port()));
        ASSERT_TRUE(second.sendGet(target));
        ASSERT_TRUE(second.readHead());
        auto joined = readPart(second);
        ASSERT_TRUE(joined) << name;
        EXPECT_TRUE(joined->keyframe()) << name;
        EXPECT_TRUE(AccessUnitProbe::startsStream(format, joined->data)) << name;
        EXPECT_GE(joined->frame(), latest->frame()) << name;
    }
}

// Standard tools play the bare elementary stream of each codec without a single complaint.
TEST_F(DeviceE2eTest, FfmpegDecodesTheRawStreamOfEachCodec)
{
    launch({"--fps", "25", "--channels", "1"});
    const std::pair<StreamFormat, const char*> codecs[] = {
        {StreamFormat::Mpeg4, "m4v"}, {StreamFormat::H264, "h264"}, {StreamFormat::H265, "hevc"}};
    constexpr int kFrames = 40; // beyond the first regular keyframe
    std::vector<Ffmpeg> pipes;
    for (const auto& [format, demuxer] : codecs)
    {
        const std::string target =
            "/velkor/live?channel=1&width=640&format=" + StreamFormats::name(format) +
            "&framing=raw";
        HttpConnection raw;
        ASSERT_TRUE(raw.open(port()));
        ASSERT_TRUE(raw.sendGet(target));
        auto head = raw.readHead();
        ASSERT_TRUE(head);
        EXPECT_EQ(head->status, 200);
        EXPECT_EQ(head->header("content-type"), StreamFormats::contentType(format));
        EXPECT_EQ(head->header("content-length"), "");
        auto start = raw.readExact(16);
        ASSERT_TRUE(start);
        const auto units = AccessUnitProbe::units(
            format, std::vector<unsigned char>(start->begin(), start->end()));
        ASSERT_FALSE(units.empty());
        EXPECT_EQ(units.front(), format == StreamFormat::H264   ? 7
                                 : format == StreamFormat::H265 ? 32
                                                                : 0xB0)
            << "the stream opens with its parameter sets";

        pipes.push_back(startFfmpeg(port(), target, demuxer, kFrames));
        ASSERT_TRUE(pipes.back());
    }
    for (std::size_t i = 0; i < pipes.size(); ++i)
    {
        // Decoded 640x480 4:2:0 pictures are 460800 bytes.
        const FfmpegOutcome outcome = finishFfmpeg(std::move(pipes[i]), 460800);
        const char* demuxer = codecs[i].second;
        EXPECT_EQ(outcome.unexpected, "") << demuxer;
        EXPECT_EQ(outcome.frames, kFrames) << demuxer;
        EXPECT_TRUE(outcome.exitedCleanly) << demuxer;
    }
}

// Played again from its start, a loop is still one stream a standard decoder takes whole.
TEST_F(DeviceE2eTest, FfmpegDecodesALoopedStreamAcrossItsEnd)
{
    launch({"--fps", "25", "--channels", "1", "--loop", "always"});
    constexpr int kFrames = 70; // the 50 of the loop and then some
    const std::pair<StreamFormat, const char*> codecs[] = {{StreamFormat::Mpeg4, "m4v"},
                                                           {StreamFormat::H265, "hevc"}};
    std::vector<Ffmpeg> pipes;
    for (const auto& [format, demuxer] : codecs)
    {
        pipes.push_back(startFfmpeg(port(),
                                    "/velkor/live?channel=1&width=320&framing=raw&format=" +
                                        StreamFormats::name(format),
                                    demuxer, kFrames));
        ASSERT_TRUE(pipes.back());
    }
    for (std::size_t i = 0; i < pipes.size(); ++i)
    {
        const FfmpegOutcome outcome = finishFfmpeg(std::move(pipes[i]), 320 * 240 * 3 / 2);
        EXPECT_EQ(outcome.unexpected, "") << codecs[i].second;
        EXPECT_EQ(outcome.frames, kFrames) << codecs[i].second;
        EXPECT_TRUE(outcome.exitedCleanly) << codecs[i].second;
    }
}

TEST_F(DeviceE2eTest, EventsStartWithChannelStatesThenCarryAlarms)
{
    launch({"--channels", "2", "--alarm-interval", "1"});
    HttpConnection connection;
    ASSERT_TRUE(connection.open(port()));
    ASSERT_TRUE(connection.sendGet("/velkor/events"));
    auto head = connection.readHead();
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 200);
    EXPECT_EQ(head->header("content-type"), "text/event-stream");
    for (int channel = 1; channel <= 2; ++channel)
    {
        auto event = readEvent(connection);
        ASSERT_TRUE(event);
        EXPECT_EQ(event->kind, "channel");
        EXPECT_EQ(event->data, "channel=" + std::to_string(channel) + " status=1");
    }
    std::optional<Event> alarm;
    for (int i = 0; i < 10 && !alarm; ++i)
    {
        auto event = readEvent(connection);
        ASSERT_TRUE(event);
        if (event->kind == "alarm")
        {
            alarm = event;
        }
    }
    ASSERT_TRUE(alarm);
    EXPECT_TRUE(
        std::regex_match(alarm->data, std::regex(R"(channel=[12] type=\d+ status=1 )"
                                                 R"(time=\d{4}-(0[1-9]|1[0-2])-[0-3]\d)"
                                                 R"(T([01]\d|2[0-3]):[0-5]\d:[0-5]\d\.\d{3})")))
        << alarm->data;
}

TEST_F(DeviceE2eTest, QuietEventStreamSendsKeepalives)
{
    launch({"--channels", "1", "--alarm-interval", "0"});
    HttpConnection connection;
    ASSERT_TRUE(connection.open(port()));
    ASSERT_TRUE(connection.sendGet("/velkor/events"));
    ASSERT_TRUE(connection.readHead());
    auto greeting = readEvent(connection);
    ASSERT_TRUE(greeting);
    EXPECT_EQ(greeting->kind, "channel");
    // The device promises one at least every 2 s; the read timeout only guards a hang.
    connection.setTimeout(5s);
    auto keepalive = readEvent(connection);
    ASSERT_TRUE(keepalive);
    EXPECT_EQ(keepalive->kind, "");
    EXPECT_EQ(keepalive->data, ": keepalive");
}

class DigestE2eTest : public DeviceE2eTest
{
protected:
    struct Challenge
    {
        std::string nonce;
        std::string opaque;
        std::string algorithm;
        bool stale = false;
    };

    // The challenges of a 401, in order.
    static std::vector<Challenge> challenges(const HttpHead& head)
    {
        std::vector<Challenge> out;
        for (const auto& value : head.all("www-authenticate"))
        {
            auto parsed = AuthParams::parse(value);
            if (!parsed || parsed->scheme != "digest" ||
                parsed->value("realm") != "velkor-device" || parsed->value("qop") != "auth")
            {
                continue;
            }
            out.push_back({parsed->value("nonce"), parsed->value("opaque"),
                           parsed->value("algorithm"), parsed->value("stale") == "true"});
        }
        return out;
    }

    static std::string authorization(const Challenge& c, DigestAlgorithm algorithm,
                                     const std::string& password, const std::string& uri,
                                     int nc = 1)
    {
        char count[9];
        std::snprintf(count, sizeof count, "%08x", nc);
        const DigestInput in{"admin", "velkor-device", password, "GET", uri,
                             c.nonce, count,           "c1e2",   "auth"};
        return "Authorization: Digest username=\"admin\", realm=\"velkor-device\", nonce=\"" +
               c.nonce + "\", uri=\"" + uri +
               "\", algorithm=" + std::string(DigestCalculator::algorithmName(algorithm)) +
               ", qop=auth, nc=" + count + ", cnonce=\"c1e2\", response=\"" +
               DigestCalculator::response(algorithm, in) + "\", opaque=\"" + c.opaque + "\"";
    }

    Challenge firstChallenge()
    {
        auto reply = HttpConnection::get(port(), "/velkor/info");
        EXPECT_TRUE(reply);
        if (!reply)
        {
            return {};
        }
        EXPECT_EQ(reply->head.status, 401);
        auto list = challenges(reply->head);
        EXPECT_EQ(list.size(), 2u);
        return list.empty() ? Challenge{} : list.front();
    }
};

TEST_F(DigestE2eTest, EveryResourceNeedsCredentials)
{
    launch({"--user", "admin", "--password", "pw"});
    for (const char* target :
         {"/velkor/info", "/velkor/live?channel=1&width=320", "/velkor/events", "/elsewhere"})
    {
        auto reply = HttpConnection::get(port(), target);
        ASSERT_TRUE(reply) << target;
        EXPECT_EQ(reply->head.status, 401) << target;
        const auto list = challenges(reply->head);
        ASSERT_EQ(list.size(), 2u) << target;
        EXPECT_EQ(list[0].algorithm, "SHA-256");
        EXPECT_EQ(list[1].algorithm, "MD5");
        EXPECT_FALSE(list[0].stale);
    }
}

TEST_F(DigestE2eTest, RightPasswordPassesWithEitherAlgorithmWrongOneNever)
{
    launch({"--user", "admin", "--password", "pw", "--auth", "digest"});
    const Challenge c = firstChallenge();
    const std::string live = "/velkor/live?channel=1&width=320";
    int nc = 1;
    for (auto algorithm : {DigestAlgorithm::Md5, DigestAlgorithm::Sha256})
    {
        auto info = HttpConnection::get(port(), "/velkor/info",
                                        {authorization(c, algorithm, "pw", "/velkor/info", nc++)});
        ASSERT_TRUE(info);
        EXPECT_EQ(info->head.status, 200);
        EXPECT_EQ(info->body.rfind("device=velkor-device\n", 0), 0u);

        HttpConnection stream;
        ASSERT_TRUE(stream.open(port()));
        ASSERT_TRUE(stream.sendGet(live, {authorization(c, algorithm, "pw", live, nc++)}));
        auto head = stream.readHead();
        ASSERT_TRUE(head);
        EXPECT_EQ(head->status, 200);
        EXPECT_TRUE(readPart(stream));

        auto wrong =
            HttpConnection::get(port(), live, {authorization(c, algorithm, "pW", live, nc++)});
        ASSERT_TRUE(wrong);
        EXPECT_EQ(wrong->head.status, 401);
        EXPECT_EQ(wrong->head.header("content-type"), "text/plain; charset=utf-8");
        EXPECT_EQ(challenges(wrong->head).size(), 2u);
    }
}

TEST_F(DigestE2eTest, ExpiredNonceIsReportedStaleAndTheNewOneWorks)
{
    launch({"--user", "admin", "--password", "pw", "--nonce-lifetime", "1"});
    const Challenge old = firstChallenge();
    // The nonce serves until its second is over, each count once; then it turns stale.
    int nc = 0;
    std::optional<HttpReply> stale;
    ASSERT_TRUE(waitUntil(
        [&]
        {
            stale = HttpConnection::get(
                port(), "/velkor/info",
                {authorization(old, DigestAlgorithm::Sha256, "pw", "/velkor/info", ++nc)});
            return !stale || stale->head.status != 200;
        }));
    ASSERT_TRUE(stale);
    EXPECT_EQ(stale->head.status, 401);
    const auto renewed = challenges(stale->head);
    ASSERT_EQ(renewed.size(), 2u);
    EXPECT_TRUE(renewed[0].stale);
    EXPECT_TRUE(renewed[1].stale);
    EXPECT_NE(renewed[0].nonce, old.nonce);

    auto retry = HttpConnection::get(
        port(), "/velkor/info",
        {authorization(renewed[0], DigestAlgorithm::Sha256, "pw", "/velkor/info")});
    ASSERT_TRUE(retry);
    EXPECT_EQ(retry->head.status, 200);
}

TEST_F(DeviceE2eTest, BasicAuthenticationChecksBothHalves)
{
    launch({"--user", "admin", "--password", "pw", "--auth", "basic"});
    auto none = HttpConnection::get(port(), "/velkor/info");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->head.status, 401);
    EXPECT_EQ(none->head.all("www-authenticate"),
              std::vector<std::string>{"Basic realm=\"velkor-device\", charset=\"UTF-8\""});

    auto right = HttpConnection::get(
        port(), "/velkor/info", {"Authorization: Basic " + common::Base64::encode("admin:pw")});
    ASSERT_TRUE(right);
    EXPECT_EQ(right->head.status, 200);

    for (const char* wrong : {"admin:pW", "Admin:pw", "admin:", ":pw"})
    {
        auto reply = HttpConnection::get(port(), "/velkor/live?channel=1&width=320",
                                         {"Authorization: Basic " + common::Base64::encode(wrong)});
        ASSERT_TRUE(reply) << wrong;
        EXPECT_EQ(reply->head.status, 401) << wrong;
    }
}

TEST_F(DeviceE2eTest, ConnectionsBeyondTheLimitGet503)
{
    launch({"--max-connections", "2"});
    HttpConnection first, second;
    for (HttpConnection* stream : {&first, &second})
    {
        ASSERT_TRUE(stream->open(port()));
        ASSERT_TRUE(stream->sendGet("/velkor/live?channel=1&width=320"));
        auto head = stream->readHead();
        ASSERT_TRUE(head);
        ASSERT_EQ(head->status, 200);
        ASSERT_TRUE(readPart(*stream));
    }
    auto refused = HttpConnection::get(port(), "/velkor/info");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->head.status, 503);
    EXPECT_EQ(refused->head.header("retry-after"), "1");

    // The slot frees once the device notices the closed stream (on its next frame write).
    first.close();
    EXPECT_TRUE(waitUntil(
        [this]
        {
            auto reply = HttpConnection::get(port(), "/velkor/info");
            return reply && reply->head.status == 200;
        }));
}

// Connections that hold a slot and say nothing must not keep anyone else from a quick answer.
TEST_F(DeviceE2eTest, ClientsOverTheLimitAreRefusedAtOnceAndClosed)
{
    launch({"--max-connections", "4", "--channels", "1", "--alarm-interval", "0"});
    std::vector<std::unique_ptr<HttpConnection>> held;
    for (int i = 0; i < 4; ++i)
    {
        held.push_back(std::make_unique<HttpConnection>());
        ASSERT_TRUE(held.back()->open(port()));
        ASSERT_TRUE(held.back()->sendGet("/velkor/events"));
        auto head = held.back()->readHead();
        ASSERT_TRUE(head);
        ASSERT_EQ(head->status, 200);
    }
    std::vector<std::unique_ptr<HttpConnection>> idle;
    for (int i = 0; i < 100; ++i)
    {
        idle.push_back(std::make_unique<HttpConnection>());
        ASSERT_TRUE(idle.back()->open(port()));
    }
    HttpConnection late;
    ASSERT_TRUE(late.open(port()));
    // Well below the 5 s the device allows a request to arrive.
    late.setTimeout(3s);
    ASSERT_TRUE(late.sendGet("/velkor/info"));
    auto refused = late.readReply();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->head.status, 503);
    EXPECT_EQ(refused->head.header("retry-after"), "1");
    EXPECT_EQ(refused->head.header("connection"), "close");
    EXPECT_TRUE(refused->head.all("keep-alive").empty());
    EXPECT_TRUE(late.atEnd());
    // The silent ones got the same, without having asked.
    auto silent = idle.front()->readReply();
    ASSERT_TRUE(silent);
    EXPECT_EQ(silent->head.status, 503);
}

// Each line keeps the connection busy, but the request as a whole has 5 s to arrive.
TEST_F(DeviceE2eTest, ADrippedRequestLosesItsSlotAtTheDeadline)
{
    launch({"--max-connections", "1", "--channels", "1", "--alarm-interval", "0"});
    HttpConnection dripping;
    ASSERT_TRUE(dripping.open(port()));
    ASSERT_TRUE(dripping.sendRaw("GET /velkor/info HTTP/1.1\r\n"));
    auto other = HttpConnection::get(port(), "/velkor/info");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->head.status, 503);
    // Four times the deadline at most, a header line whenever 250 ms pass without an answer.
    for (int i = 0; i < 80 && !dripping.readable(250ms) && dripping.sendRaw("X-Drip: 1\r\n"); ++i)
    {
    }
    auto reply = dripping.readReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->head.status, 408);
    EXPECT_EQ(reply->head.header("connection"), "close");
    EXPECT_TRUE(waitUntil(
        [this]
        {
            auto info = HttpConnection::get(port(), "/velkor/info");
            return info && info->head.status == 200;
        }));
}

// Each case is sent until the device answers: it must answer while the request is still
// arriving, and without buffering it.
TEST_F(DeviceE2eTest, OversizedRequestsAreRefusedBeforeTheyAreBuffered)
{
    launch({"--channels", "1", "--alarm-interval", "0"});
    constexpr std::size_t kChunk = std::size_t{64} * 1024;
    const std::string headerLine = "X-Fill: " + std::string(8000, 'a') + "\r\n";
    const std::string oversizedHeader = "X-Fill: " + std::string(8200, 'a') + "\r\n";
    struct Case
    {
        const char* name;
        std::string start;
        std::string repeated;
        int status;
    };
    const Case cases[] = {
        {"request line", "GET /velkor/info?x=", std::string(kChunk, 'a'), 414},
        {"header lines", "GET /velkor/info HTTP/1.1\r\n", headerLine, 431},
        {"header line", "GET /velkor/info HTTP/1.1\r\n" + oversizedHeader, headerLine, 431},
    };
    // The memory this takes is a figure of bench/device/oversized-requests.py.
    for (const Case& c : cases)
    {
        HttpConnection connection;
        ASSERT_TRUE(connection.open(port()));
        ASSERT_TRUE(connection.sendRaw(c.start)) << c.name;
        std::string chunk;
        while (chunk.size() < kChunk)
        {
            chunk += c.repeated;
        }
        // 64 MiB at most; a device that reads it all without answering fails the test.
        for (int i = 0; i < 1024 && !connection.readable(0ms) && connection.sendRaw(chunk); ++i)
        {
        }
        auto reply = connection.readReply();
        ASSERT_TRUE(reply) << c.name;
        EXPECT_EQ(reply->head.status, c.status) << c.name;
        EXPECT_EQ(reply->head.header("connection"), "close") << c.name;
    }
}

TEST_F(DeviceE2eTest, BodiesAreBoundedAndPipelinedRequestsAnsweredInOrder)
{
    launch({"--channels", "1", "--alarm-interval", "0"});
    const std::string info = "GET /velkor/info HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    for (const std::string length : {"5000", "1099511627776"})
    {
        HttpConnection connection;
        ASSERT_TRUE(connection.open(port()));
        std::string request = info;
        request += "Content-Length: " + length + "\r\n\r\n";
        ASSERT_TRUE(connection.sendRaw(request));
        auto reply = connection.readReply();
        ASSERT_TRUE(reply) << length;
        EXPECT_EQ(reply->head.status, 413) << length;
        EXPECT_EQ(reply->head.header("connection"), "close") << length;
    }

    // One segment: a request with a small body, two without, the last for a missing path.
    HttpConnection connection;
    ASSERT_TRUE(connection.open(port()));
    ASSERT_TRUE(connection.sendRaw(info + "Content-Length: 5\r\n\r\nabcde" + info + "\r\n" +
                                   "GET /elsewhere HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    for (int expected : {200, 200, 404})
    {
        auto reply = connection.readReply();
        ASSERT_TRUE(reply) << expected;
        EXPECT_EQ(reply->head.status, expected);
    }
}

TEST_F(DeviceE2eTest, StalledReaderSkipsFramesRatherThanQueueingThem)
{
    launch({"--fps", "25", "--channels", "1"});
    HttpConnection stream;
    ASSERT_TRUE(stream.open(port(), 32 * 1024));
    ASSERT_TRUE(stream.sendGet("/velkor/live?channel=1&width=1920"));
    auto head = stream.readHead();
    ASSERT_TRUE(head);
    ASSERT_EQ(head->status, 200);
    uint64_t before = 0;
    for (int i = 0; i < 5; ++i)
    {
        auto part = readPart(stream);
        ASSERT_TRUE(part);
        before = part->frame();
    }
    // A second reader of the channel tells when 60 frames have gone by the stalled one.
    HttpConnection watcher;
    ASSERT_TRUE(watcher.open(port()));
    ASSERT_TRUE(watcher.sendGet("/velkor/live?channel=1&width=320"));
    auto watcherHead = watcher.readHead();
    ASSERT_TRUE(watcherHead);
    ASSERT_EQ(watcherHead->status, 200);
    std::optional<Part> watched;
    ASSERT_TRUE(waitUntil(
        [&]
        {
            watched = readPart(watcher);
            return !watched || watched->frame() >= before + 60;
        }));
    ASSERT_TRUE(watched);
    watcher.close();
    // What the device holds meanwhile is a figure of bench/device/stalled-reader.py.

    // Only what the socket buffers held is old; the device skipped the rest.
    uint64_t newest = 0;
    for (int i = 0; i < 6; ++i)
    {
        auto part = readPart(stream);
        ASSERT_TRUE(part);
        ASSERT_TRUE(JpegProbe::decode(part->data));
        newest = std::max(newest, part->frame());
    }
    EXPECT_GE(newest, before + 20);
}

TEST_F(DeviceE2eTest, FfmpegReadsTheLiveStream)
{
    launch({"--fps", "25"});
    const std::string url =
        "http://127.0.0.1:" + std::to_string(port()) + "/velkor/live?channel=1&width=640";
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -f mpjpeg -i '" +
                                url + "' -t 3 -c copy -f framecrc - 2>&1";
    Ffmpeg pipe(popen(command.c_str(), "r"));
    ASSERT_TRUE(pipe);
    int frames = 0;
    std::string unexpected;
    char line[512];
    while (std::fgets(line, sizeof line, pipe.get()))
    {
        if (line[0] == '#')
        {
            continue;
        }
        if (std::regex_search(line, std::regex(R"(^0, +\d+, +\d+, +\d+, +\d+, 0x[0-9a-f]{8})")))
        {
            ++frames;
        }
        else
        {
            unexpected += line;
        }
    }
    EXPECT_EQ(unexpected, "");
    // About 75 at 25 fps over 3 s.
    EXPECT_GE(frames, 50);
}

// libcurl is what clients of the device use; it must settle the challenge on its own.
TEST_F(DigestE2eTest, LibcurlNegotiatesDigest)
{
    launch({"--user", "admin", "--password", "pw"});
    auto fetch = [this](const char* credentials, std::string& body)
    {
        std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(),
                                                                 &curl_easy_cleanup);
        const std::string url = "http://127.0.0.1:" + std::to_string(port()) + "/velkor/info";
        curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_HTTPAUTH, CURLAUTH_DIGEST);
        curl_easy_setopt(curl.get(), CURLOPT_USERPWD, credentials);
        curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 10L);
        curl_easy_setopt(
            curl.get(), CURLOPT_WRITEFUNCTION,
            +[](char* data, std::size_t size, std::size_t count, void* out)
            {
                static_cast<std::string*>(out)->append(data, size * count);
                return size * count;
            });
        curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
        long status = 0;
        if (curl_easy_perform(curl.get()) == CURLE_OK)
        {
            curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
        }
        return status;
    };
    std::string body;
    EXPECT_EQ(fetch("admin:pw", body), 200);
    EXPECT_EQ(body.rfind("device=velkor-device\n", 0), 0u);
    EXPECT_EQ(fetch("admin:nope", body), 401);
}

TEST(DeviceCommandLineE2eTest, BadOptionsExitWithCode2AndSayWhy)
{
    auto outcome = Emulator::run({"--fps", "fast"});
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_NE(outcome.output.find("--fps"), std::string::npos) << outcome.output;

    auto help = Emulator::run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("--max-connections"), std::string::npos);
}

} // namespace

} // namespace velkordevice
