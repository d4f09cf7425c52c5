#include "velkor/decode/VideoDecoder.h"

#include "tests/velkor/support/TestVideo.h"
#include "velkor/native/PacketBuilder.h"

extern "C"
{
#include <libavcodec/avcodec.h>
}

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace velkor;
using namespace std::string_literals;

namespace
{

using Parameters = std::unique_ptr<AVCodecParameters, void (*)(AVCodecParameters*)>;

// A description's parameter sets, as libavformat hands them on: NAL units with start codes.
Parameters describe(AVCodecID codec, const std::string& extradata)
{
    Parameters parameters(avcodec_parameters_alloc(),
                          [](AVCodecParameters* p) { avcodec_parameters_free(&p); });
    parameters->codec_type = AVMEDIA_TYPE_VIDEO;
    parameters->codec_id = codec;
    parameters->extradata =
        static_cast<std::uint8_t*>(av_mallocz(extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    parameters->extradata_size = static_cast<int>(extradata.size());
    std::copy(extradata.begin(), extradata.end(), parameters->extradata);
    return parameters;
}

// Writes the Exp-Golomb and fixed-width fields of a parameter set, MSB first.
class BitWriter
{
public:
    void bits(std::uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i)
        {
            m_bits.push_back(((value >> i) & 1U) != 0);
        }
    }
    void ue(std::uint32_t value)
    {
        const std::uint32_t coded = value + 1;
        int width = 0;
        while ((coded >> width) > 1)
        {
            ++width;
        }
        bits(0, width);
        bits(coded, width + 1);
    }
    // The RBSP's stop bit and alignment, with emulation prevention.
    std::string finish()
    {
        m_bits.push_back(true);
        while (m_bits.size() % 8 != 0)
        {
            m_bits.push_back(false);
        }
        std::string bytes;
        int zeros = 0;
        for (std::size_t i = 0; i < m_bits.size(); i += 8)
        {
            unsigned byte = 0;
            for (std::size_t b = 0; b < 8; ++b)
            {
                byte = (byte << 1U) | (m_bits[i + b] ? 1U : 0U);
            }
            if (zeros >= 2 && byte <= 3)
            {
                bytes += '\x03';
                zeros = 0;
            }
            zeros = byte == 0 ? zeros + 1 : 0;
            bytes += static_cast<char>(byte);
        }
        return bytes;
    }

private:
    std::vector<bool> m_bits;
};

// A baseline sequence parameter set 0 declaring 16384 x 16384 pixels, beyond what libavcodec
// accepts.
std::string hugeH264Sps()
{
    BitWriter sps;
    sps.bits(66, 8); // profile
    sps.bits(0, 8);  // constraints
    sps.bits(51, 8); // level
    sps.ue(0);       // id
    sps.ue(0);       // log2 of the largest frame number, less 4
    sps.ue(2);       // picture order count type
    sps.ue(1);       // reference frames
    sps.bits(0, 1);  // gaps in frame numbers
    sps.ue(1023);    // width in macroblocks, less 1
    sps.ue(1023);    // height in macroblocks, less 1
    sps.bits(1, 1);  // frames only
    sps.bits(1, 1);  // direct 8x8 inference
    sps.bits(0, 1);  // cropping
    sps.bits(0, 1);  // VUI
    return "\x00\x00\x00\x01\x67"s + sps.finish();
}

// The parameter sets at the front of a keyframe, as a description carries them.
std::string parameterSetsOf(const std::string& keyframe, bool hevc)
{
    std::string sets;
    for (std::size_t at = keyframe.find("\x00\x00\x01"s); at != std::string::npos;)
    {
        const std::size_t next = keyframe.find("\x00\x00\x01"s, at + 3);
        const std::string nal = keyframe.substr(at + 3, next - at - 3);
        const unsigned header = static_cast<unsigned char>(nal[0]);
        const unsigned type = hevc ? (header >> 1U) & 0x3FU : header & 0x1FU;
        if (hevc ? type >= 32 && type <= 34 : type == 7 || type == 8)
        {
            sets += "\x00\x00\x01"s + nal;
        }
        at = next;
    }
    return sets;
}

::testing::AssertionResult decodesAll(VideoDecoder& decoder,
                                      const std::vector<velkortest::AccessUnit>& units)
{
    for (std::size_t i = 0; i < units.size(); ++i)
    {
        PacketBuilder packet;
        packet.start(units[i].bytes.size());
        packet.append(reinterpret_cast<const std::uint8_t*>(units[i].bytes.data()),
                      units[i].bytes.size());
        if (!decoder.decode(packet.finish(packet.size()), {}) || decoder.picture().empty())
        {
            return ::testing::AssertionFailure() << "unit " << i << ": " << decoder.error();
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(VideoDecoder, ParameterSetsOfTheDescriptionTheDecoderRejectsGiveWayToTheStreamsOwn)
{
    const auto h264 = velkortest::encodeTestVideo("h264", 96, 5, 5);
    ASSERT_EQ(h264.size(), 5U);
    const Parameters huge = describe(AV_CODEC_ID_H264, hugeH264Sps());
    VideoDecoder decodesH264(VideoCodec::H264, 0, {huge.get(), false});
    EXPECT_TRUE(decodesAll(decodesH264, h264));

    // A supplemental enhancement information unit (an encoder's options text) cut short, as a
    // description's sprop-sei of over 1023 base64 characters reaches libavcodec.
    const auto h265 = velkortest::encodeTestVideo("h265", 96, 5, 5);
    ASSERT_EQ(h265.size(), 5U);
    const std::string cutSei =
        "\x00\x00\x01\x4E\x01\x05\xC8"s + std::string(16, '\x11') + std::string(40, 'x');
    const Parameters withSei =
        describe(AV_CODEC_ID_HEVC, parameterSetsOf(h265[0].bytes, true) + cutSei);
    VideoDecoder decodesH265(VideoCodec::H265, 0, {withSei.get(), false});
    EXPECT_TRUE(decodesH265.error().empty()) << decodesH265.error();
    EXPECT_TRUE(decodesAll(decodesH265, h265));
}
