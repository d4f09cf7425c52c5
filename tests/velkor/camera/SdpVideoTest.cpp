#include "velkor/camera/SdpVideo.h"

#include <gtest/gtest.h>

using namespace velkor;

TEST(SdpVideo, FindsTheFirstVideoTrackAndItsEncoding)
{
    const auto h264 = SdpVideo::parse("v=0\r\nm=audio 0 RTP/AVP 97\r\na=rtpmap:97 H264/90000\r\n"
                                      "m=video 0 RTP/AVP 96 98\r\na=rtpmap:98 H265/90000\r\n"
                                      "a=rtpmap:96 h264/90000\r\nm=video 0 RTP/AVP 26\r\n");
    ASSERT_TRUE(h264);
    EXPECT_EQ(h264->encoding, "H264");
    EXPECT_EQ(h264->codec, VideoCodec::H264);

    // Payload type 26 is JPEG without a mapping; line ends may be bare.
    EXPECT_EQ(SdpVideo::parse("m=video 0 RTP/AVP 26\n")->codec, VideoCodec::Jpeg);
    EXPECT_EQ(SdpVideo::parse("m=video 0 RTP/AVP 96\r\na=rtpmap:96 MP4V-ES/90000\r\n")->codec,
              VideoCodec::Mpeg4);

    const auto vp8 = SdpVideo::parse("m=video 0 RTP/AVP 100\r\na=rtpmap:100 VP8/90000\r\n");
    ASSERT_TRUE(vp8);
    EXPECT_EQ(vp8->encoding, "VP8");
    EXPECT_FALSE(vp8->codec);
    EXPECT_FALSE(SdpVideo::parse("m=video 0 RTP/AVP 96\r\n")->codec);

    EXPECT_FALSE(SdpVideo::parse("v=0\r\nm=audio 0 RTP/AVP 8\r\na=rtpmap:8 PCMA/8000\r\n"));
    EXPECT_FALSE(SdpVideo::parse(""));
    EXPECT_FALSE(SdpVideo::parse("m=videoX 0 RTP/AVP 26"));
}
