#include "devicelib/DeviceLibrary.h"
#include "res/resource.h"
#include "tests/e2e/VideoConsoleDriver.h"
#include "tests/e2e/WindowPixels.h"
#include "tests/support/Emulator.h"
#include "tests/support/ProcessRunner.h"
#include "tests/velkor/support/RecordingListener.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace
{

// The console as a user drives it: real libvelkor.so, real emulator, real X server.
class ConsoleLiveE2eTest : public VideoConsoleDriver
{
protected:
    void SetUp() override
    {
        VideoConsoleDriver::SetUp();
        m_emulator = std::make_unique<velkortest::Emulator>(
            std::vector<std::string>{"--uid", "23", "--alarm-interval", "1"});
        ASSERT_TRUE(m_emulator->ready()) << "velkor-device did not start";
        showConsole();

        const std::string port = std::to_string(m_emulator->port());
        typeInto(IDC_HTTPPORT, QString::fromStdString(port));
        click(IDC_SET_HTTPPORT);
        ASSERT_TRUE(logHas("Call SetHttpPort(port=" + port + ").(return value=0)"));
    }

    void TearDown() override
    {
        VideoConsoleDriver::TearDown();
        m_emulator.reset();
    }

    // Oldest first, the way things happened.
    [[nodiscard]] std::vector<std::string> logInOrder() const
    {
        std::vector<std::string> lines = logLines();
        std::reverse(lines.begin(), lines.end());
        return lines;
    }

    // Picks a list item and presses the list's Set button, as a user does.
    void choose(int listId, int position, int setId)
    {
        select(listId, position);
        click(setId);
    }

    std::unique_ptr<velkortest::Emulator> m_emulator;
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
    EXPECT_TRUE(WindowPixels::allBlack(videoPixels()));
    // The end of play is reported once the stream's thread is gone; after that no picture can
    // come, so the area must still be black.
    EXPECT_TRUE(waitForLog("** Event ** OnPlayStatus(channel=1, status=0)"));
    EXPECT_TRUE(WindowPixels::allBlack(videoPixels())) << "a picture came after Stop Live";

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

    // A listener of the test's own hears what the library goes on reporting, also to the
    // console's listener, whose window is gone.
    velkortest::RecordingListener witness;
    GetVelkorAPI()->Slot296(&witness);
    dlg.reset();
    EXPECT_TRUE(witness.waitFor([](const velkortest::RecordedEvent& event)
                                { return event.kind == "alarm"; }));

    DeviceLibrary* library = GetVelkorAPI();
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(library->GetUID(), 23) << "the session ended with the console";
    int32_t out = -1;
    EXPECT_EQ(library->PlayControl(1, 1, &out, 0, nullptr), 0);
    EXPECT_EQ(library->SetVideoWindow(0), 0);
    EXPECT_EQ(library->Close(), 0);
    EXPECT_EQ(library->GetUID(), 0);
    library->Slot296(nullptr);
}

TEST_F(ConsoleLiveE2eTest, EveryFormatTheDeviceServesPlaysMovingVideo)
{
    // Positions in the stream format list: "0 : JPEG", "1 : MPEG-4", "3 : H.264", "6 : H.265".
    for (const int position : {0, 1, 3, 4})
    {
        SCOPED_TRACE(itemsOf(IDC_STREAMFORMAT)[static_cast<std::size_t>(position)].toStdString());
        const std::string ended = "** Event ** OnPlayStatus(channel=1, status=0)";
        const std::size_t plays = logCount(ended);
        choose(IDC_STREAMFORMAT, position, IDC_SET_STREAMFORMAT);
        click(IDC_START_LIVE);
        EXPECT_TRUE(waitForMovingVideo());
        click(IDC_STOP_LIVE);
        ASSERT_TRUE(QTest::qWaitFor([&] { return logCount(ended) == plays + 1; }, kPatience));
    }
    EXPECT_FALSE(logHas("OnError"));
}

TEST_F(ConsoleLiveE2eTest, TesselIsRefusedWithTheFormatsTheDeviceServes)
{
    choose(IDC_STREAMFORMAT, 2, IDC_SET_STREAMFORMAT);
    ASSERT_TRUE(logHas("Call SetStreamFormat(format=2).(return value=0)"));
    click(IDC_START_LIVE);
    EXPECT_TRUE(logHas("Call PlayLive(channel=1,mode=0).(return value=-41)"));
    EXPECT_TRUE(waitForLog("** Event ** OnError(errorCode=-41, description=stream format 2 "
                           "(Tessel) is not served by this device, which serves JPEG (0), "
                           "MPEG-4 (1), H.264 (3) and H.265 (6))"));
    EXPECT_TRUE(WindowPixels::allBlack(videoPixels()));
    click(IDC_STOP_LIVE);
    EXPECT_EQ(dlg->m_IsLive, 0);
    // Nothing else broke: the next format plays.
    choose(IDC_STREAMFORMAT, 3, IDC_SET_STREAMFORMAT);
    click(IDC_START_LIVE);
    EXPECT_TRUE(waitForMovingVideo());
    click(IDC_STOP_LIVE);
}

TEST_F(ConsoleLiveE2eTest, WidthAndFormatSetWhileLiveSwitchThePicture)
{
    choose(IDC_STREAMFORMAT, 3, IDC_SET_STREAMFORMAT);
    choose(IDC_H264RESOLUTION, 0, IDC_SET_H264RESOLUTION);
    choose(IDC_MPEG4RESOLUTION, 1, IDC_SET_MPEG4RESOLUTION);
    click(IDC_START_LIVE);
    ASSERT_TRUE(waitForMovingVideo());
    const std::string image = "** Event ** OnImage(type=0, size=";
    ASSERT_TRUE(waitForLog(image));

    // H.264 from 320 to 640: a new size, reported.
    choose(IDC_H264RESOLUTION, 1, IDC_SET_H264RESOLUTION);
    EXPECT_TRUE(QTest::qWaitFor([&] { return logCount(image) == 2; }, kPatience));
    EXPECT_TRUE(waitForMovingVideo());
    // To MPEG-4 at its 320.
    choose(IDC_MPEG4RESOLUTION, 0, IDC_SET_MPEG4RESOLUTION);
    choose(IDC_STREAMFORMAT, 1, IDC_SET_STREAMFORMAT);
    EXPECT_TRUE(QTest::qWaitFor([&] { return logCount(image) == 3; }, kPatience));
    EXPECT_TRUE(waitForMovingVideo());

    click(IDC_STOP_LIVE);
    ASSERT_TRUE(waitForLog("** Event ** OnPlayStatus(channel=1, status=0)"));
    EXPECT_EQ(logCount("** Event ** OnPlayStatus(channel=1, status=1)"), 1U);
    EXPECT_FALSE(logHas("OnError"));
}

// The mouse's buttons and wheel as a widget gets them.
class MouseRecorder : public QObject
{
public:
    std::vector<Qt::MouseButton> pressed;
    int wheelTurns = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress)
        {
            pressed.push_back(static_cast<QMouseEvent*>(event)->button());
        }
        else if (event->type() == QEvent::Wheel)
        {
            ++wheelTurns;
        }
        return QObject::eventFilter(watched, event);
    }
};

TEST_F(ConsoleLiveE2eTest, TheVideoAreaGetsTheRightAndMiddleButtonsAndTheWheelDuringPlay)
{
    click(IDC_START_LIVE);
    ASSERT_TRUE(waitForMovingVideo());
    QWidget* video = control(IDC_VIDEO);
    MouseRecorder recorder;
    video->installEventFilter(&recorder);
    const QPoint middle = video->mapToGlobal(video->rect().center());
    // Through the X server's test extension, as a real mouse.
    velkortest::ProcessRunner xdotool;
    ASSERT_TRUE(xdotool.start({"xdotool", "mousemove", std::to_string(middle.x()),
                               std::to_string(middle.y()), "click", "3", "click", "2", "click", "4",
                               "click", "5"}));
    ASSERT_EQ(xdotool.waitForExit(std::chrono::seconds(10)), 0);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return recorder.pressed.size() >= 2 && recorder.wheelTurns >= 2; }, kPatience));
    EXPECT_EQ(recorder.pressed, (std::vector<Qt::MouseButton>{Qt::RightButton, Qt::MiddleButton}));
    EXPECT_EQ(recorder.wheelTurns, 2);
    video->removeEventFilter(&recorder);
    click(IDC_STOP_LIVE);
}

} // namespace
