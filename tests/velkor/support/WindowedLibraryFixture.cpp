#include "tests/velkor/support/WindowedLibraryFixture.h"

namespace velkortest
{

std::unique_ptr<XvfbDisplay> WindowedLibraryFixture::s_display;

void WindowedLibraryFixture::SetUpTestSuite()
{
    s_display = std::make_unique<XvfbDisplay>();
}

void WindowedLibraryFixture::TearDownTestSuite()
{
    s_display.reset();
}

void WindowedLibraryFixture::SetUp()
{
    ASSERT_TRUE(s_display->ready()) << "Xvfb did not start";
    ASSERT_NO_FATAL_FAILURE(LibraryFixture::SetUp());
    m_windows = std::make_unique<TestWindows>();
    ASSERT_TRUE(m_windows->usable());
}

void WindowedLibraryFixture::TearDown()
{
    LibraryFixture::TearDown();
    m_windows.reset();
}

} // namespace velkortest
