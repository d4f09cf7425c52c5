#include "framework/FormatText.h"

#include <cstdio>

namespace
{
// Most texts fit here, and are then formatted once.
constexpr std::size_t kFirstTry = 256;
} // namespace

std::string FormatText(const char* pattern, ...)
{
    va_list values;
    va_start(values, pattern);
    std::string text = FormatTextV(pattern, values);
    va_end(values);
    return text;
}

std::string FormatTextV(const char* pattern, va_list values)
{
    va_list again;
    va_copy(again, values);
    char first[kFirstTry];
    const int length = std::vsnprintf(first, sizeof first, pattern, values);
    std::string text;
    if (length > 0 && static_cast<std::size_t>(length) < sizeof first)
    {
        text.assign(first, static_cast<std::size_t>(length));
    }
    else if (length > 0)
    {
        text.resize(static_cast<std::size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, pattern, again);
    }
    va_end(again);
    return text;
}
