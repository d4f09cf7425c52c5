#include "tests/e2e/VideoConsoleDriver.h"

#include "res/resource.h"

#include <QTest>
#include <algorithm>

void VideoConsoleDriver::showConsole()
{
    ASSERT_TRUE(m_pixels.usable());
    startConsole();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    m_video = dlg->GetDlgItem(IDC_VIDEO).GetSafeHwnd();
    ASSERT_NE(m_video, 0U);
}

void VideoConsoleDriver::TearDown()
{
    dlg.reset();
    settle();
    EXPECT_TRUE(boxes->texts().empty())
        << "unexpected box: " << boxes->texts().front().toStdString();
    ConsoleDriver::TearDown();
}

std::size_t VideoConsoleDriver::logCount(const std::string& part) const
{
    const std::vector<std::string> lines = logLines();
    return static_cast<std::size_t>(std::count_if(
        lines.begin(), lines.end(),
        [&part](const std::string& line) { return line.find(part) != std::string::npos; }));
}

bool VideoConsoleDriver::waitForLog(const std::string& part)
{
    return QTest::qWaitFor([&] { return logHas(part); }, kPatience);
}

std::vector<std::uint32_t> VideoConsoleDriver::videoPixels() const
{
    return m_pixels.read(static_cast<std::uint32_t>(m_video));
}

::testing::AssertionResult VideoConsoleDriver::waitForMovingVideo()
{
    std::vector<std::uint32_t> first;
    if (!QTest::qWaitFor(
            [&]
            {
                first = videoPixels();
                return !first.empty() && !WindowPixels::allBlack(first);
            },
            kPatience))
    {
        return ::testing::AssertionFailure() << "the video area stayed black";
    }
    if (!QTest::qWaitFor(
            [&]
            {
                const std::vector<std::uint32_t> now = videoPixels();
                return !WindowPixels::allBlack(now) && now != first;
            },
            kPatience))
    {
        return ::testing::AssertionFailure() << "the picture in the video area did not change";
    }
    return ::testing::AssertionSuccess();
}
