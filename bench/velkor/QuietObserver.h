#pragma once

#include "velkor/report/LiveObserver.h"
#include "velkor/report/ResultCode.h"

#include <cstdint>
#include <cstdio>
#include <string>

// A live observer for the benchmarks: says on stderr why play ended (when it was not stopped) and
// what went wrong with a picture, and nothing else.
class QuietObserver final : public velkor::LiveObserver
{
public:
    void onPlaying() override {}
    void onPictureSize(int, int, std::size_t) override {}
    void onFrameError(int32_t, const std::string& description) override
    {
        std::fprintf(stderr, "OnError: %s\n", description.c_str());
    }
    void onEnded(int32_t code, const std::string& description) override
    {
        if (code != velkor::Ok)
        {
            std::fprintf(stderr, "play ended: %s\n", description.c_str());
        }
    }
};
