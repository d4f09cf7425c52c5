#include "devicelib/DeviceLibrary.h"
#include "res/resource.h"
#include "tests/e2e/WindowPixels.h"
#include "tests/support/ConsoleDriver.h"
#include "tests/support/RtspCamera.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QTest>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace
{

constexpr int kPatience = 10000; // ms; bounds every wait, so a fault fails instead of hanging

// The console as a user drives it with a standard camera: its URL typed into the address field,
// real libvelkor.so, GStreamer's RTSP server, real X server.
class ConsoleCameraE2eTest : public ConsoleDriver
{
protected:
    void SetUp() override
    {
        ConsoleDriver::SetUp();
        m_camera = std::make_unique<velkortest::RtspCamera>();
        ASSERT_TRUE(m_camera->ready()) << m_camera->banner();
        ASSERT_TRUE(m_pixels.usable());
        startConsole();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        m_video = dlg->GetDlgItem(IDC_VIDEO).GetSafeHwnd();
        ASSERT_NE(m_video, 0U);
    }

    void TearDown() override
    {
        dlg.reset();
        settle();
        EXPECT_TRUE(boxes->texts().empty())
            << "unexpected box: " << boxes->texts().front().toStdString();
        ConsoleDriver::TearDown();
        GetVelkorAPI()->SetIPAddr("127.0.0.1");
        m_camera.reset();
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
    std::unique_ptr<velkortest::RtspCamera> m_camera;
    HWND m_video = 0;
};

TEST_F(ConsoleCameraE2eTest, ACameraUrlTypedIntoTheAddressFieldPlaysAndTheFormatListFollowsIt)
{
    const std::string url = m_camera->url("/h264");
    typeInto(IDC_IPADDR, QString::fromStdString(url));
    click(IDC_SET_IPADDR);
    ASSERT_TRUE(logHas("Call SetIPAddr(ipaddr=" + url + ").(return value=0)"));

    click(IDC_START_LIVE);
    ASSERT_EQ(dlg->m_IsLive, 1);
    EXPECT_TRUE(logHas("Call Open(None).(return value=UID "));
    EXPECT_FALSE(logHas("Call Open(None).(return value=UID -"));
    EXPECT_TRUE(waitForMovingVideo());
    EXPECT_TRUE(waitForLog("** Event ** OnDevStatus(channel=0, status=1)"));
    EXPECT_TRUE(waitForLog("** Event ** OnPlayStatus(channel=1, status=1)"));
    EXPECT_TRUE(waitForLog("** Event ** OnImage(type=0, size="));
    click(IDC_STOP_LIVE);
    EXPECT_TRUE(WindowPixels::allBlack(videoPixels()));
    EXPECT_TRUE(waitForLog("** Event ** OnPlayStatus(channel=1, status=0)"));

    // The camera sends H.264, whatever format was set: the list says so at the next start.
    click(IDC_START_LIVE);
    EXPECT_EQ(qobject_cast<QComboBox*>(control(IDC_STREAMFORMAT))->currentText(),
              QStringLiteral("3 : H.264"));
    EXPECT_TRUE(waitForMovingVideo());
    click(IDC_STOP_LIVE);
    EXPECT_FALSE(logHas("OnError"));
}

} // namespace
