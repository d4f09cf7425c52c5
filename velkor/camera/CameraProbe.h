#pragma once

#include "velkor/decode/StreamFormats.h"

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>

namespace velkor
{

class CameraUrl;

// What a camera answered: Ok and the format it sends, or the code and text Open refuses it with.
struct CameraAnswer
{
    int32_t code = 0;
    std::string description;
    std::optional<VideoCodec> codec;
};

// Asks whether a playable camera answers at a URL, within Open's times (connect 2 s, answer 3 s):
// an RTSP DESCRIBE whose description offers a video track this library decodes, or an HTTP GET
// whose answer is a multipart JPEG stream; with the credentials, Digest or Basic as the camera
// asks. A stop requested meanwhile ends it at once.
class CameraProbe
{
public:
    static CameraAnswer ask(const CameraUrl& url, int32_t channel, const std::string& userName,
                            const std::string& password, const std::stop_token& stop);
    // "the camera at rtsp://...", for messages: the URL as set holds no credentials.
    static std::string nameOf(const CameraUrl& url);
};

} // namespace velkor
