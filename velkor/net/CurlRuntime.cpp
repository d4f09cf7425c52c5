#include "velkor/net/CurlRuntime.h"

#include <curl/curl.h>

#include <mutex>

namespace velkor::CurlRuntime
{

bool ensureInitialised()
{
    static std::once_flag once;
    static bool ready = false;
    // Never paired with curl_global_cleanup: streams may still run while the process exits.
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

} // namespace velkor::CurlRuntime
