#pragma once

#include "velkor/camera/CameraUrl.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace velkor
{

// A camera's user name and password as libavformat takes them: in the URL's user information,
// "user:password", percent-encoded only where a URL needs it (libavformat decodes it again).
class CameraCredentials
{
public:
    // libavformat's RTSP keeps the user information in 128 bytes, the terminating zero included,
    // and cuts what is longer: the camera would refuse the credentials in play that Open proved.
    static constexpr std::size_t kMaxRtspUserInfo = 127;

    static std::string userInfo(const std::string& userName, const std::string& password);
    // Why play could not send these credentials as they are to a camera of `scheme`, or nothing.
    // Never quotes them.
    // What of a URL made by CameraUrl::withCredentials no text may repeat: its user information
    // and the password in it, as sent and decoded.
    static std::vector<std::string> secretsIn(const std::string& url);
    static std::optional<std::string> fault(CameraScheme scheme, const std::string& userName,
                                            const std::string& password);
};

} // namespace velkor
