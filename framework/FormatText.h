#pragma once

#include <cstdarg>
#include <string>

// printf formatting into a string of any length. The compiler checks each format written at a
// call against its values.
__attribute__((format(printf, 1, 2))) std::string FormatText(const char* pattern, ...);
__attribute__((format(printf, 1, 0))) std::string FormatTextV(const char* pattern, va_list values);
