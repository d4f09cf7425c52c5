#pragma once

#include "device/StreamFormats.h"

#include <compare>

namespace velkordevice
{

// What a channel encodes once for all the readers that ask for the same thing.
struct StreamKey
{
    StreamFormat format = StreamFormat::Jpeg;
    int width = 0;

    // clang-tidy takes the 0 that a defaulted <=> is compared with for a null pointer.
    auto operator<=>(const StreamKey&) const = default; // NOLINT(modernize-use-nullptr)
};

} // namespace velkordevice
