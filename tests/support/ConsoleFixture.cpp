#include "tests/support/ConsoleFixture.h"

void ConsoleFixture::SetUp()
{
    library().reset();
    ConsoleDriver::SetUp();
}

std::vector<RecordingLibrary::Call> ConsoleFixture::callsSinceStart() const
{
    return RecordingLibrary::instance().calls();
}
