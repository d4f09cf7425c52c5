#include "framework/FormatText.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

std::string FormatText(const char* pattern, ...)
{
    va_list args;
    va_start(args, pattern);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, pattern, measure);
    va_end(measure);
    std::string text(static_cast<std::size_t>(std::max(length, 0)), '\0');
    if (length > 0)
    {
        std::vsnprintf(text.data(), text.size() + 1, pattern, args);
    }
    va_end(args);
    return text;
}
