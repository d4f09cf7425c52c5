#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velkor
{

// What the address property accepts: a plain address (IP literal or host name) of a velkor
// device, or a camera's URL.
class AddressRules
{
public:
    // Ok, or AddressInvalid with `why` saying what is wrong.
    static int32_t check(std::string_view address, std::string& why);
};

} // namespace velkor
