#pragma once

#include "tests/velkor/support/LibraryFixture.h"
#include "tests/velkor/support/TestWindows.h"
#include "tests/velkor/support/XvfbDisplay.h"

#include <memory>

namespace velkortest
{

// A library test that draws into windows of a private X server, one server for the whole suite,
// and reads their pixels back.
class WindowedLibraryFixture : public LibraryFixture
{
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    static XvfbDisplay& display() { return *s_display; }

    std::unique_ptr<TestWindows> m_windows;

private:
    static std::unique_ptr<XvfbDisplay> s_display;
};

} // namespace velkortest
