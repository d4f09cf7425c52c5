#pragma once

#include "tests/support/ConsoleDriver.h"
#include "tests/support/RecordingLibrary.h"

// A started console on the recording library.
class ConsoleFixture : public ConsoleDriver
{
protected:
    void SetUp() override;

    RecordingLibrary& library() { return RecordingLibrary::instance(); }
    std::vector<RecordingLibrary::Call> callsSinceStart() const;
};
