#include "velkor/api/AddressRules.h"

#include "velkor/camera/CameraUrl.h"
#include "velkor/net/TextRules.h"
#include "velkor/report/ResultCode.h"

namespace velkor
{

int32_t AddressRules::check(std::string_view address, std::string& why)
{
    if (CameraUrl::looksLikeUrl(address))
    {
        return CameraUrl::parse(address, why) ? Ok : AddressInvalid;
    }
    if (TextRules::checkAddress(address) != Ok)
    {
        why = address.empty() ? "the address is empty"
                              : "the address is neither an IP address, nor a host name, nor a "
                                "camera URL (rtsp://, http:// or https://)";
        return AddressInvalid;
    }
    return Ok;
}

} // namespace velkor
