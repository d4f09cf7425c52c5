#pragma once

#include "tests/e2e/WindowPixels.h"
#include "tests/support/ConsoleDriver.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The console as a user drives it for live video: real libvelkor.so and a real X server whose
// pixels of the video area the test reads back.
class VideoConsoleDriver : public ConsoleDriver
{
protected:
    static constexpr int kPatience = 10000; // ms; bounds every wait, so a fault fails, not hangs

    // Starts the console and finds its video area.
    void showConsole();
    void TearDown() override;

    [[nodiscard]] bool logHas(const std::string& part) const { return logCount(part) > 0; }
    [[nodiscard]] std::size_t logCount(const std::string& part) const;
    bool waitForLog(const std::string& part);
    [[nodiscard]] std::vector<std::uint32_t> videoPixels() const;
    // Waits for a picture in the video area, then for a different one.
    ::testing::AssertionResult waitForMovingVideo();

    WindowPixels m_pixels;
    HWND m_video = 0;
};
