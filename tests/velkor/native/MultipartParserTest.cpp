#include "velkor/native/MultipartParser.h"

extern "C"
{
#include <libavcodec/avcodec.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using velkor::MultipartParser;
using velkor::MultipartPart;

namespace
{

struct Collected
{
    std::vector<std::string> bodies;
    std::vector<std::string> types;
    // Parts whose body is not a packet libavcodec can read as it is.
    std::size_t unpadded = 0;
};

// The body is the packet's data, followed by the zero padding libavcodec reads past the end.
bool paddedPacket(const MultipartPart& part)
{
    const AVPacket* packet = part.packet;
    if (packet == nullptr || packet->buf == nullptr || packet->data != part.body ||
        static_cast<std::size_t>(packet->size) != part.size)
    {
        return false;
    }
    const std::uint8_t* end = packet->data + packet->size;
    return std::all_of(end, end + AV_INPUT_BUFFER_PADDING_SIZE,
                       [](std::uint8_t b) { return b == 0; });
}

MultipartParser makeParser(Collected& collected, MultipartParser::Limits limits = {})
{
    return MultipartParser(
        "velkorframe",
        [&collected](const MultipartPart& part)
        {
            collected.bodies.emplace_back(reinterpret_cast<const char*>(part.body), part.size);
            collected.types.emplace_back(part.header("content-type").value_or("none"));
            collected.unpadded += paddedPacket(part) ? 0 : 1;
        },
        limits);
}

bool feedAll(MultipartParser& parser, const std::string& bytes)
{
    return parser.feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::string counted(const std::string& body)
{
    return "--velkorframe\r\nContent-Type: image/jpeg\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nX-Frame: 1\r\n\r\n" + body + "\r\n";
}

std::string scanned(const std::string& body)
{
    return "--velkorframe\r\nContent-Type: image/jpeg\r\n\r\n" + body + "\r\n";
}

// Bodies that contain the things a parser could mistake for structure.
const std::string kTrickyBody = std::string("ab\r\n--velkorfram\r\n\r\n--velkor\0xyz", 30);

} // namespace

TEST(MultipartParser, ReadsCountedAndScannedPartsWhateverTheSplit)
{
    const std::string stream = "preamble text\r\n" + counted("first") + counted(kTrickyBody) +
                               scanned("third part") + scanned("") + counted("") +
                               "--velkorframe--\r\nepilogue";
    for (std::size_t split = 0; split <= stream.size(); ++split)
    {
        Collected collected;
        MultipartParser parser = makeParser(collected);
        ASSERT_TRUE(feedAll(parser, stream.substr(0, split))) << split;
        ASSERT_TRUE(feedAll(parser, stream.substr(split))) << split << parser.error();
        ASSERT_EQ(collected.bodies.size(), 5U) << "split at " << split;
        EXPECT_EQ(collected.bodies[0], "first");
        EXPECT_EQ(collected.bodies[1], kTrickyBody);
        EXPECT_EQ(collected.bodies[2], "third part");
        EXPECT_EQ(collected.bodies[3], "");
        EXPECT_EQ(collected.bodies[4], "");
        EXPECT_EQ(collected.types[0], "image/jpeg");
        EXPECT_EQ(collected.unpadded, 0U);
    }
}

TEST(MultipartParser, ReadsAStreamFedOneByteAtATime)
{
    const std::string stream = counted(kTrickyBody) + scanned(kTrickyBody) + counted("x");
    Collected collected;
    MultipartParser parser = makeParser(collected);
    for (char c : stream)
    {
        ASSERT_TRUE(feedAll(parser, std::string(1, c)));
    }
    ASSERT_EQ(collected.bodies.size(), 3U);
    EXPECT_EQ(collected.bodies[0], kTrickyBody);
    EXPECT_EQ(collected.bodies[1], kTrickyBody);
    EXPECT_EQ(collected.bodies[2], "x");
}

TEST(MultipartParser, RefusesWhatBreaksTheLimits)
{
    MultipartParser::Limits small;
    small.maxHeaderBlock = 256;
    small.maxHeaders = 4;
    small.maxPartSize = 1000;

    const std::vector<std::pair<std::string, std::string>> hostile = {
        {"counted part over the size limit",
         "--velkorframe\r\nContent-Length: 1001\r\n\r\n" + std::string(1001, 'x')},
        {"declared size far beyond the limit",
         "--velkorframe\r\nContent-Length: 9999999999\r\n\r\n"},
        {"scanned part over the size limit", "--velkorframe\r\n\r\n" + std::string(5000, 'x')},
        {"too many headers", "--velkorframe\r\nA: 1\r\nB: 2\r\nC: 3\r\nD: 4\r\nE: 5\r\n\r\n"},
        {"header block too long", "--velkorframe\r\nX-Long: " + std::string(300, 'h') + "\r\n\r\n"},
        {"header line without end", "--velkorframe\r\nX: " + std::string(5000, 'h')},
        {"header without colon", "--velkorframe\r\nno colon here\r\n\r\n"},
        {"header name with blank", "--velkorframe\r\nBad Name: 1\r\n\r\n"},
        {"bad content length", "--velkorframe\r\nContent-Length: 12abc\r\n\r\n"},
        {"negative content length", "--velkorframe\r\nContent-Length: -5\r\n\r\n"},
        {"missing boundary", std::string(2000, 'g') + "\r\n"},
        {"garbage lines",
         []
         {
             std::string lines;
             for (int i = 0; i < 100; ++i)
             {
                 lines += "--wrongboundary\r\n";
             }
             return lines;
         }()},
    };
    for (const auto& [what, bytes] : hostile)
    {
        Collected collected;
        MultipartParser parser = makeParser(collected, small);
        EXPECT_FALSE(feedAll(parser, bytes)) << what;
        EXPECT_TRUE(parser.failed()) << what;
        EXPECT_FALSE(parser.error().empty()) << what;
        EXPECT_TRUE(collected.bodies.empty()) << what;
        // Once failed it stays failed, whatever follows.
        EXPECT_FALSE(feedAll(parser, counted("ok"))) << what;
        EXPECT_TRUE(collected.bodies.empty()) << what;
    }
}

TEST(MultipartParser, AcceptsPartsRightAtTheLimits)
{
    MultipartParser::Limits small;
    small.maxHeaders = 3;
    small.maxPartSize = 64;
    Collected collected;
    MultipartParser parser = makeParser(collected, small);
    const std::string full(64, 'z');
    EXPECT_TRUE(feedAll(parser, "--velkorframe\r\nA: 1\r\nB: 2\r\nContent-Length: 64\r\n\r\n" +
                                    full + "\r\n"));
    EXPECT_TRUE(feedAll(parser, scanned(full)));
    EXPECT_TRUE(feedAll(parser, "--velkorframe\r\n\r\n"));
    ASSERT_EQ(collected.bodies.size(), 2U);
    EXPECT_EQ(collected.bodies[1], full);
}

TEST(MultipartParser, FindsTheBoundaryInAContentType)
{
    EXPECT_EQ(MultipartParser::boundaryOf("multipart/x-mixed-replace; boundary=velkorframe"),
              "velkorframe");
    EXPECT_EQ(MultipartParser::boundaryOf("Multipart/X-Mixed-Replace;charset=x; BOUNDARY=\"a b\""),
              "a b");
    EXPECT_EQ(
        MultipartParser::boundaryOf("multipart/x-mixed-replace;boundary=" + std::string(70, 'b')),
        std::string(70, 'b'));
    EXPECT_FALSE(
        MultipartParser::boundaryOf("multipart/x-mixed-replace;boundary=" + std::string(71, 'b')));
    EXPECT_FALSE(MultipartParser::boundaryOf("multipart/x-mixed-replace"));
    EXPECT_FALSE(MultipartParser::boundaryOf("multipart/x-mixed-replace; boundary="));
    EXPECT_FALSE(MultipartParser::boundaryOf("image/jpeg; boundary=velkorframe"));
    EXPECT_FALSE(MultipartParser::boundaryOf(""));
}

TEST(MultipartParser, AnUnusableBoundaryFailsFromTheStart)
{
    for (const std::string& boundary : {std::string(), std::string(71, 'b'), std::string("a\r\nb")})
    {
        MultipartParser parser(boundary,
                               [](const MultipartPart&) { FAIL() << "no part expected"; });
        EXPECT_TRUE(parser.failed());
        EXPECT_FALSE(parser.feed(reinterpret_cast<const std::uint8_t*>("--\r\n\r\n"), 6));
    }
}
