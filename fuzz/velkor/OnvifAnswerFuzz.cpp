// Feeds arbitrary bytes, as the body of an HTTP answer of the given status, to what reads an
// ONVIF camera's answers: the SOAP message, its fault and the profiles of GetProfiles. The first
// input byte picks the status.
#include "velkor/onvif/OnvifAnswer.h"
#include "velkor/onvif/OnvifProfile.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const long kStatuses[] = {200, 400, 401, 500};
    velkor::HttpResult http;
    http.outcome = velkor::HttpResult::Outcome::Completed;
    http.status = kStatuses[data[0] % 4];
    http.body.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    const velkor::OnvifAnswer answer(std::move(http), "http://www.onvif.org/ver10/media/wsdl/X");
    answer.credentialsRefused();
    answer.problem("the camera");
    for (const velkor::OnvifProfile& profile : velkor::OnvifProfile::readAll(answer.response()))
    {
        profile.describe();
    }
    return 0;
}
