#pragma once

#include <cstdint>
#include <string_view>

namespace velkor::TextRules
{

// Ok, or the ResultCode saying why `text` is no valid address: an IPv4 or IPv6 literal, or a host
// name made of RFC 1123 labels.
int32_t checkAddress(std::string_view text);

// Ok, or why `text` is no acceptable credential: longer than maxBytes, not UTF-8, or holding a
// control character (C0, DEL or C1).
int32_t checkCredential(std::string_view text, std::size_t maxBytes);

bool isIpv6Literal(std::string_view text);

// Copies `text` into a caller's buffer of `size` bytes, always terminated, cut at a character
// boundary when it does not fit. Returns the full length of `text` (snprintf style, so a result
// >= size means it was cut) or InvalidArgument for a null buffer or size <= 0.
int32_t copyOut(std::string_view text, char* buffer, int32_t size);

} // namespace velkor::TextRules
