#pragma once

#include <string>

// printf formatting into a string of any length.
__attribute__((format(printf, 1, 2))) std::string FormatText(const char* pattern, ...);
