#pragma once

#include <cstdint>

// The few handle and message types the console code is written in. Message parameters are
// pointer-sized so a heap address can travel in the first one.
using HWND = std::uintptr_t; // a top-level or child window's native id; 0 means none
using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

inline constexpr UINT WM_USER = 0x0400;
