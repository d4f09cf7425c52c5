#pragma once

namespace velkor::CurlRuntime
{

// curl_global_init exactly once, from whichever thread comes first; false if it failed.
bool ensureInitialised();

} // namespace velkor::CurlRuntime
