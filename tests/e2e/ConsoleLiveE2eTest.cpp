#include "ConsoleDriver.h"
#include "DeviceLibrary.h"
#include "WindowPixels.h"
#include "resource.h"
#include "support/Emulator.h"

#include <gtest/gtest.h>

#include <QTest>
#include <algorithm>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace
{

constexpr int kPatience = 10000; // ms; bounds every wait, so a fault fails instead of hanging

// The console as a user drives it: real libvelkor.so, real emulator, real X server.
class ConsoleLiveE2eTest : public ConsoleDriver
{
protected:
    void SetUp() override
    {
        ConsoleDriver::SetUp();
        m_emulator = std::make_unique<velkortest::Emulator>(
            VELKOR_DEVICE_PATH, std::vector<std::string>{"--uid", "23"});
        ASSERT_TRUE(m_emulator->ready()) << "velkor-device did not start";
        ASSERT_TRUE(m_pixels.usable());

        startConsole();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        m_video = dlg->GetDlgItem(IDC_VIDEO).GetSafeHwnd();
        ASSERT_NE(m_video, 0U);

        const std::string port = std::to_string(m_emulator->port());
        typeInto(IDC_HTTPPORT, QString::fromStdString(port));
        click(IDC_SET_HTTPPORT);
        ASSERT_TRUE(logHas("Call SetHttpPort(port=" + port + ").(return value=0)"));
    }

    void TearDown() override
    {
        dlg.reset();
        settle();
        EXPECT_TRUE(boxes->texts().empty())
            << "unexpected box: " << boxes->texts().front().toStdString();
        ConsoleDriver::TearDown();
        m_emulator.reset();
    }

    // Oldest first, the way things happened.
    [[nodiscard]] std::vector<std::string> logInOrder() const
    {
        std::vector<std::string> lines = logLines();
        std::reverse(lines.begin(), lines.end());
        return lines;
    }

    [[nodiscard]] bool logHas(const std::string& part) const
    {
        const std::vector<std::string> lines = logLines();
        return std::any_of(lines.begin(), lines.end(),
                           [&part](const std::string& line)
                           { return line.find(part) != std::string::npos; });
    }

    bool waitForLog(const std::string& part)
    {
        return QTest::qWaitFor([&] { return logHas(part); }, kPatience);
    }

    [[nodiscard]] std::vector<std::uint32_t> videoPixels() const
    {
        return m_pixels.read(static_cast<std::uint32_t>(m_video));
    }

    // Waits for a picture in the video area, then for a different one.
    ::testing::AssertionResult waitForMovingVideo()
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

    WindowPixels m_pixels;
    std::unique_ptr<velkortest::Emulator> m_emulator;
    HWND m_video = 0;
};

// Each pattern must match a later line than the one before it.
::testing::AssertionResult inOrder(const std::vector<std::string>& lines,
                                   const std::vector<std::string>& patterns)
{
    auto from = lines.begin();
    for (const std::string& pattern : patterns)
    {
        const std::regex wanted(pattern);
        from = std::find_if(from, lines.end(),
                            [&wanted](const std::string& line)
                            { return std::regex_match(line, wanted); });
        if (from == lines.end())
        {
            std::string shown;
            for (const std::string& line : lines)
            {
                shown += "\n  " + line;
            }
            return ::testing::AssertionFailure()
                   << "no line /" << pattern << "/ in order in:" << shown;
        }
        ++from;
    }
    return ::testing::AssertionSuccess();
}

TEST_F(ConsoleLiveE2eTest, StartLiveShowsMovingVideoAndStopLiveLeavesTheAreaBlack)
{
    ASSERT_TRUE(WindowPixels::allBlack(videoPixels())) << "the idle video area is not black";

    click(IDC_START_LIVE);
    ASSERT_EQ(dlg->m_IsLive, 1);
    EXPECT_FALSE(control(IDC_START_LIVE)->isEnabled());
    EXPECT_TRUE(control(IDC_STOP_LIVE)->isEnabled());
    EXPECT_TRUE(waitForMovingVideo());
    EXPECT_TRUE(waitForLog("** Event ** OnDevStatus(channel=0, status=1)"));
    EXPECT_TRUE(waitForLog("** Event ** OnPlayStatus(channel=1, status=1)"));
    EXPECT_TRUE(waitForLog("** Event ** OnImage(type=0, size="));

    click(IDC_STOP_LIVE);
    EXPECT_EQ(dlg->m_IsLive, 0);
    EXPECT_TRUE(control(IDC_START_LIVE)->isEnabled());
    EXPECT_FALSE(control(IDC_STOP_LIVE)->isEnabled());
    // Black at once, and no late picture after it.
    EXPECT_TRUE(WindowPixels::allBlack(videoPixels()));
    for (int i = 0; i < 10; ++i)
    {
        QTest::qWait(30);
        ASSERT_TRUE(WindowPixels::allBlack(videoPixels())) << "a picture came after Stop Live";
    }
    EXPECT_TRUE(waitForLog("** Event ** OnPlayStatus(channel=1, status=0)"));

    const std::string number = R"(\[\d{4}\] )";
    EXPECT_TRUE(inOrder(logInOrder(),
                        {number + R"(Call SetVideoWindow\(handle\)\.\(return value=0\))",
                         number + R"(Call Open\(None\)\.\(return value=UID 23\))",
                         number + R"(Call PlayLive\(channel=1,mode=0\)\.\(return value=0\))",
                         number + R"(\*\* Event \*\* OnPlayStatus\(channel=1, status=1\))",
                         number + R"(Call PlayControl\(channel=1,mode=0\)\.\(return value=0\))",
                         number + R"(Call ClearImage\(None\)\.\(return value=None\))",
                         number + R"(Call SetVideoWindow\(handle=NULL\)\.\(return value=0\))",
                         number + R"(Call Close\(None\)\.\(return value=None\))"}));
    EXPECT_FALSE(logHas("OnError"));
}

TEST_F(ConsoleLiveE2eTest, ClosingTheConsoleWhileLiveLeavesTheLibraryRunning)
{
    click(IDC_START_LIVE);
    ASSERT_EQ(dlg->m_IsLive, 1);
    ASSERT_TRUE(waitForMovingVideo());

    dlg.reset();
    // The library goes on receiving and reporting into a window and a listener target that are
    // gone; nothing of that may reach a destroyed object.
    QTest::qWait(500);

    DeviceLibrary* library = GetVelkorAPI();
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(library->GetUID(), 23) << "the session ended with the console";
    int32_t out = -1;
    EXPECT_EQ(library->PlayControl(1, 1, &out, 0, nullptr), 0);
    EXPECT_EQ(library->SetVideoWindow(0), 0);
    EXPECT_EQ(library->Close(), 0);
    EXPECT_EQ(library->GetUID(), 0);
}

} // namespace
