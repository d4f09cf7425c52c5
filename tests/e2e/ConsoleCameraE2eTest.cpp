#include "devicelib/DeviceLibrary.h"
#include "res/resource.h"
#include "tests/e2e/VideoConsoleDriver.h"
#include "tests/e2e/WindowPixels.h"
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

// The console as a user drives it with a standard camera: its URL typed into the address field,
// real libvelkor.so, GStreamer's RTSP server, real X server.
class ConsoleCameraE2eTest : public VideoConsoleDriver
{
protected:
    void SetUp() override
    {
        VideoConsoleDriver::SetUp();
        m_camera = std::make_unique<velkortest::RtspCamera>();
        ASSERT_TRUE(m_camera->ready()) << m_camera->banner();
        showConsole();
    }

    void TearDown() override
    {
        VideoConsoleDriver::TearDown();
        GetVelkorAPI()->SetIPAddr("127.0.0.1");
        m_camera.reset();
    }

    std::unique_ptr<velkortest::RtspCamera> m_camera;
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
