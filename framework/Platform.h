#pragma once

// Picks the windowing platform before the toolkit starts: the device library draws into X11
// windows, so on a Wayland desktop the program runs through XWayland. An explicit
// QT_QPA_PLATFORM (tests use "offscreen") is left alone.
void choosePlatformPlugin();
