#include "tests/support/ConsoleFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QTimer>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using Call = RecordingLibrary::Call;

std::string listenerText(CQuillonDlg& dialog)
{
    std::ostringstream text;
    text << static_cast<const void*>(static_cast<IAppListener*>(&dialog.m_Listener));
    return text.str();
}

bool wasCalled(const std::vector<Call>& calls, int slot)
{
    for (const Call& call : calls)
    {
        if (call.slot == slot)
        {
            return true;
        }
    }
    return false;
}

class StartupTest : public ConsoleFixture
{
protected:
    // Sets what the library holds for the five lists before the console starts.
    void holdCodes(int32_t deviceType, int32_t streamFormat, int32_t jpeg, int32_t mpeg4,
                   int32_t h264)
    {
        library().state().deviceType = deviceType;
        library().state().streamFormat = streamFormat;
        library().state().jpegResolution = jpeg;
        library().state().mpeg4Resolution = mpeg4;
        library().state().h264Resolution = h264;
    }

    std::vector<int> selectedPositions() const
    {
        return {selectedPosition(IDC_DEVICETYPE), selectedPosition(IDC_STREAMFORMAT),
                selectedPosition(IDC_JPEGRESOLUTION), selectedPosition(IDC_MPEG4RESOLUTION),
                selectedPosition(IDC_H264RESOLUTION)};
    }
};
} // namespace

TEST_F(StartupTest, CallsTheLibraryInOrderWithTheseArguments)
{
    startConsole();

    const std::string listener = listenerText(*dlg);
    const std::vector<Call> expected{
        {198, "Slot198", {"640"}},
        {196, "Slot196", {"480"}},
        {77, "SetVideoWindow", {"window"}},
        {79, "ClearImage", {}},
        {14, "GetIPAddr", {"zeroed", "256"}},
        {16, "GetHttpPort", {}},
        {12, "GetDeviceType", {}},
        {195, "GetStreamFormat", {}},
        {193, "GetJPEGResolution", {}},
        {189, "GetMPEG4Resolution", {}},
        {191, "GetH264Resolution", {}},
        {25, "GetUID", {}},
        {220, "Slot220", {"0"}},
        {42, "Slot042", {listener}},
        {328, "Slot328", {"0"}},
        {296, "Slot296", {listener}},
        {66, "Slot066", {"0"}},
        {332, "Slot332", {"0"}},
        {298, "Slot298", {"0", "1"}},
    };
    EXPECT_EQ(callsSinceStart(), expected);
    EXPECT_NE(listener, "null");
    EXPECT_EQ(library().registeredListener(), static_cast<IAppListener*>(&dlg->m_Listener));
    EXPECT_TRUE(boxes->boxes().empty());
}

TEST_F(StartupTest, GivesTheVideoAreaTheNativeWindowOfTheFrame)
{
    startConsole();

    ASSERT_NE(dlg->GetDlgItem(IDC_VIDEO).GetSafeHwnd(), 0U);
    EXPECT_NE(dlg->GetDlgItem(IDC_VIDEO).GetSafeHwnd(), dlg->GetSafeHwnd());
}

TEST_F(StartupTest, NeverAsksForUserNameOrPasswordAndShowsThemEmpty)
{
    library().state().userName = "admin";
    library().state().password = "hunter2";
    startConsole();

    EXPECT_FALSE(wasCalled(callsSinceStart(), 27));
    EXPECT_FALSE(wasCalled(callsSinceStart(), 29));
    EXPECT_EQ(textOf(IDC_USERNAME), QString());
    EXPECT_EQ(textOf(IDC_PASSWORD), QString());
}

TEST_F(StartupTest, ChannelStartsAtOneAndTheOtherFieldsShowTheLibrary)
{
    library().state().ipAddr = "198.51.100.7";
    library().state().httpPort = 8081;
    library().state().uid = 31337;
    startConsole();

    EXPECT_EQ(textOf(IDC_CHANNEL), QStringLiteral("1"));
    EXPECT_EQ(textOf(IDC_IPADDR), QStringLiteral("198.51.100.7"));
    EXPECT_EQ(textOf(IDC_HTTPPORT), QStringLiteral("8081"));
    EXPECT_EQ(textOf(IDC_UID), QStringLiteral("31337"));
}

TEST_F(StartupTest, LogsTheTwoStartLinesNewestFirst)
{
    startConsole();

    EXPECT_EQ(logLines(), (std::vector<std::string>{"[0002] +-+-+-+ Quillon +-+-+-+",
                                                    "[0001] Quillon.exe finish initialization."}));
    EXPECT_EQ(dlg->m_LogText.str(), "[0002] +-+-+-+ Quillon +-+-+-+\r\n"
                                    "[0001] Quillon.exe finish initialization.\r\n");
    EXPECT_EQ(dlg->m_LogCount, 2);
}

TEST_F(StartupTest, TextPostedDuringStartUpIsLoggedAboveTheBanner)
{
    library().setOnListenerRegistered(
        [](IAppListener& listener)
        {
            listener.OnDevStatus(1, 1);
            listener.OnError(7, "link down");
        });
    startConsole();

    EXPECT_EQ(logLines(),
              (std::vector<std::string>{
                  "[0004] ** Event ** OnError(errorCode=7, description=link down)",
                  "[0003] ** Event ** OnDevStatus(channel=1, status=1)",
                  "[0002] +-+-+-+ Quillon +-+-+-+", "[0001] Quillon.exe finish initialization."}));
    EXPECT_EQ(dlg->m_LogText.str(),
              "[0004] ** Event ** OnError(errorCode=7, description=link down)\r\n"
              "[0003] ** Event ** OnDevStatus(channel=1, status=1)\r\n"
              "[0002] +-+-+-+ Quillon +-+-+-+\r\n"
              "[0001] Quillon.exe finish initialization.\r\n");
}

TEST_F(StartupTest, ListsHoldTheirItemsAndShowTheLibraryCodes)
{
    holdCodes(6, 6, 2048, 640, 1920);
    startConsole();

    EXPECT_EQ(itemsOf(IDC_DEVICETYPE),
              (std::vector<QString>{QStringLiteral("0 : Tessel"), QStringLiteral("1 : Orvane"),
                                    QStringLiteral("2 : Vimbra"), QStringLiteral("3 : Quenro"),
                                    QStringLiteral("4 : Darsel"), QStringLiteral("6 : Kalvo")}));
    EXPECT_EQ(itemsOf(IDC_STREAMFORMAT),
              (std::vector<QString>{QStringLiteral("0 : JPEG"), QStringLiteral("1 : MPEG-4"),
                                    QStringLiteral("2 : Tessel"), QStringLiteral("3 : H.264"),
                                    QStringLiteral("6 : H.265")}));
    EXPECT_EQ(itemsOf(IDC_JPEGRESOLUTION).size(), 7U);
    EXPECT_EQ(itemsOf(IDC_MPEG4RESOLUTION),
              (std::vector<QString>{QStringLiteral(" 320"), QStringLiteral(" 640")}));
    EXPECT_EQ(itemsOf(IDC_H264RESOLUTION).size(), 6U);
    EXPECT_EQ(selectedPositions(), (std::vector<int>{5, 4, 6, 1, 5}));
}

TEST_F(StartupTest, LowestCodesSelectTheFirstItems)
{
    holdCodes(0, 0, 320, 320, 320);
    startConsole();

    EXPECT_EQ(selectedPositions(), (std::vector<int>{0, 0, 0, 0, 0}));
}

TEST_F(StartupTest, UnknownCodesLeaveTheListsWithoutSelection)
{
    holdCodes(5, 4, 1024, 800, 2048);
    startConsole();

    EXPECT_EQ(selectedPositions(), (std::vector<int>{-1, -1, -1, -1, -1}));
    // The placeholder item of the layout is gone, not merely unselected.
    EXPECT_EQ(itemsOf(IDC_DEVICETYPE).size(), 6U);
    EXPECT_EQ(itemsOf(IDC_DEVICETYPE).front(), QStringLiteral("0 : Tessel"));
}

TEST_F(StartupTest, NegativeCodesLeaveTheListsWithoutSelection)
{
    holdCodes(-1, -1, -1, -1, -1);
    startConsole();

    EXPECT_EQ(selectedPositions(), (std::vector<int>{-1, -1, -1, -1, -1}));
}

TEST_F(StartupTest, WindowAndVideoAreaHaveTheirSizes)
{
    startConsole();

    EXPECT_EQ(dlg->frameGeometry(), QRect(0, 0, 965, 610));
    const DialogUnits& units = dlg->dialogUnits();
    EXPECT_EQ(control(IDC_VIDEO)->geometry(),
              QRect(units.toPixelsX(201), units.toPixelsY(49), 640, 480));
    EXPECT_TRUE(control(IDC_VIDEO)->isVisible());
}

TEST_F(StartupTest, OnlyStartLiveIsEnabledAndTheAddressHasTheFocus)
{
    startConsole();

    EXPECT_TRUE(control(IDC_START_LIVE)->isEnabled());
    EXPECT_FALSE(control(IDC_STOP_LIVE)->isEnabled());
    EXPECT_EQ(dlg->m_IsLive, 0);
    EXPECT_EQ(dlg->focusWidget(), control(IDC_IPADDR));
}

TEST_F(StartupTest, AddressEndsAtTheFirstZeroByte)
{
    library().state().ipAddr = std::string("10.1.2.3\0garbage", 16);
    startConsole();

    EXPECT_EQ(textOf(IDC_IPADDR), QStringLiteral("10.1.2.3"));
}

TEST_F(StartupTest, UnterminatedAddressIsReadNoFurtherThanTheBuffer)
{
    library().state().unterminatedFill = 'x';
    startConsole();

    EXPECT_EQ(textOf(IDC_IPADDR), QString(256, QLatin1Char('x')));
    EXPECT_EQ(dlg->m_IPAddr, std::string(256, 'x'));
}

TEST_F(StartupTest, MissingLibraryObjectIsReportedAndTheConsoleCloses)
{
    library().setFactoryYieldsObject(false);
    dlg = std::make_unique<CQuillonDlg>();
    bool guardFired = false;
    // Only keeps a broken console from hanging the run; the result below tells what happened.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout,
                     [this, &guardFired]
                     {
                         guardFired = true;
                         dlg->done(QDialog::Accepted);
                     });
    guard.start(20000);

    const int result = dlg->DoModal();

    EXPECT_FALSE(guardFired);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(dlg->isVisible());
    ASSERT_EQ(boxes->boxes().size(), 1U);
    EXPECT_TRUE(boxes->texts().front().contains(QStringLiteral("libvelkor.so")));
    EXPECT_TRUE(boxes->texts().front().contains(QStringLiteral("GetVelkorAPI")));
    EXPECT_EQ(boxes->boxes().front().title, QCoreApplication::applicationName());
    EXPECT_TRUE(boxes->boxes().front().exclamation);
    EXPECT_TRUE(boxes->boxes().front().okOnly);
    EXPECT_TRUE(callsSinceStart().empty());
}
