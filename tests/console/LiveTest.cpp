#include "tests/support/ConsoleFixture.h"

#include <QCoreApplication>
#include <string>
#include <vector>

namespace
{
using Call = RecordingLibrary::Call;

// Counts the paint handler's runs that did not come from a paint event: those the console makes
// itself.
class PaintCountingDlg : public CQuillonDlg
{
public:
    int directPaints = 0;

protected:
    void OnPaint() override
    {
        if (!m_inPaintEvent)
        {
            ++directPaints;
        }
        CQuillonDlg::OnPaint();
    }

    void paintEvent(QPaintEvent* event) override
    {
        m_inPaintEvent = true;
        CQuillonDlg::paintEvent(event);
        m_inPaintEvent = false;
    }

private:
    bool m_inPaintEvent = false;
};

const std::vector<std::string> kStartLines{"[0002] +-+-+-+ Quillon +-+-+-+",
                                           "[0001] Quillon.exe finish initialization."};

const Call kSetWindow{77, "SetVideoWindow", {"window"}};
const Call kClearImage{79, "ClearImage", {}};
const Call kOpen{1, "Open", {}};
const Call kGetUid{25, "GetUID", {}};
const Call kGetStreamFormat{195, "GetStreamFormat", {}};

Call playLive(const std::string& channel)
{
    return {68, "PlayLive", {channel, "out", "0", "null"}};
}

const Call kPlayControl{71, "PlayControl", {"1", "1", "out", "0", "null"}};

class LiveTest : public ConsoleFixture
{
protected:
    // Starts a console whose paint handler is counted, and forgets the start-up calls.
    void start()
    {
        auto counting = std::make_unique<PaintCountingDlg>();
        m_counting = counting.get();
        dlg = std::move(counting);
        ASSERT_TRUE(dlg->Create());
        dlg->show();
        settle();
        library().clearCalls();
    }

    void startLive()
    {
        click(IDC_START_LIVE);
        ASSERT_EQ(dlg->m_IsLive, 1);
        library().clearCalls();
    }

    // Presses Stop Live and tells how often the console ran its paint handler itself meanwhile.
    int stopLiveCountingPaints()
    {
        m_counting->directPaints = 0;
        click(IDC_STOP_LIVE);
        return m_counting->directPaints;
    }

    std::vector<std::string> newLines() const
    {
        std::vector<std::string> lines = logLines();
        if (lines.size() >= kStartLines.size())
        {
            lines.resize(lines.size() - kStartLines.size());
        }
        return lines;
    }

    void expectIdle()
    {
        EXPECT_EQ(dlg->m_IsLive, 0);
        EXPECT_TRUE(control(IDC_START_LIVE)->isEnabled());
        EXPECT_FALSE(control(IDC_STOP_LIVE)->isEnabled());
    }

    void expectLive()
    {
        EXPECT_EQ(dlg->m_IsLive, 1);
        EXPECT_FALSE(control(IDC_START_LIVE)->isEnabled());
        EXPECT_TRUE(control(IDC_STOP_LIVE)->isEnabled());
    }

    void expectOnlyBox(const QString& text)
    {
        ASSERT_EQ(boxes->boxes().size(), 1U);
        EXPECT_EQ(boxes->texts().front(), text);
    }

    PaintCountingDlg* m_counting = nullptr;
};
} // namespace

TEST_F(LiveTest, ChannelZeroIsRefusedAfterTheStreamFormatIsReselected)
{
    start();
    ASSERT_EQ(selectedPosition(IDC_STREAMFORMAT), 0);
    library().state().streamFormat = 3;
    typeInto(IDC_CHANNEL, QStringLiteral("0"));
    click(IDC_START_LIVE);

    expectOnlyBox(QStringLiteral("Please specify Channel!"));
    EXPECT_EQ(library().calls(), (std::vector<Call>{kGetStreamFormat}));
    EXPECT_EQ(selectedPosition(IDC_STREAMFORMAT), 3);
    EXPECT_TRUE(newLines().empty());
    expectIdle();
}

TEST_F(LiveTest, RefusedOpenLogsTwoLinesAndStaysIdle)
{
    library().state().uid = 77;
    start();
    ASSERT_EQ(textOf(IDC_UID), QStringLiteral("77"));
    library().setResult(77, -7);
    library().setResult(1, -3);
    click(IDC_START_LIVE);

    EXPECT_EQ(newLines(), (std::vector<std::string>{
                              "[0004] Call Open(None).(return value=UID -3)",
                              "[0003] Call SetVideoWindow(handle).(return value=-7)",
                          }));
    EXPECT_EQ(library().calls(),
              (std::vector<Call>{kGetStreamFormat, kSetWindow, kClearImage, kOpen}));
    EXPECT_EQ(textOf(IDC_UID), QStringLiteral("77"));
    expectIdle();
    EXPECT_TRUE(boxes->boxes().empty());
}

TEST_F(LiveTest, RefusedPlayLiveLogsThreeLinesAndGoesLive)
{
    start();
    library().setResult(68, -4);
    click(IDC_START_LIVE);

    EXPECT_EQ(newLines(), (std::vector<std::string>{
                              "[0005] Call PlayLive(channel=1,mode=0).(return value=-4)",
                              "[0004] Call Open(None).(return value=UID 4711)",
                              "[0003] Call SetVideoWindow(handle).(return value=0)",
                          }));
    expectLive();
}

TEST_F(LiveTest, StartAndStopCallTheLibraryAndLogSevenLines)
{
    start();
    click(IDC_START_LIVE);
    expectLive();
    EXPECT_EQ(textOf(IDC_UID), QStringLiteral("4711"));
    EXPECT_EQ(library().calls(), (std::vector<Call>{kGetStreamFormat, kSetWindow, kClearImage,
                                                    kOpen, kGetUid, playLive("1")}));
    library().clearCalls();

    click(IDC_STOP_LIVE);

    expectIdle();
    EXPECT_EQ(
        library().calls(),
        (std::vector<Call>{
            kPlayControl, kClearImage, {77, "SetVideoWindow", {"0"}}, {3, "Close", {}}, kGetUid}));
    EXPECT_EQ(newLines(), (std::vector<std::string>{
                              "[0009] Call Close(None).(return value=None)",
                              "[0008] Call SetVideoWindow(handle=NULL).(return value=0)",
                              "[0007] Call ClearImage(None).(return value=None)",
                              "[0006] Call PlayControl(channel=1,mode=0).(return value=0)",
                              "[0005] Call PlayLive(channel=1,mode=0).(return value=0)",
                              "[0004] Call Open(None).(return value=UID 4711)",
                              "[0003] Call SetVideoWindow(handle).(return value=0)",
                          }));
    EXPECT_TRUE(boxes->boxes().empty());
}

TEST_F(LiveTest, ResultsOfPlayControlAndTheWindowReachTheStopLines)
{
    start();
    startLive();
    library().setResult(71, -6);
    library().setResult(77, 9);
    click(IDC_STOP_LIVE);

    const std::vector<std::string> lines = newLines();
    ASSERT_GE(lines.size(), 4U);
    EXPECT_EQ(lines.at(1), "[0008] Call SetVideoWindow(handle=NULL).(return value=9)");
    EXPECT_EQ(lines.at(3), "[0006] Call PlayControl(channel=1,mode=0).(return value=-6)");
    expectIdle();
}

TEST_F(LiveTest, StopWhileIdleIsRefusedButStillPaints)
{
    start();
    m_counting->directPaints = 0;

    // The button is disabled while idle; the handler is still reachable from the event table.
    dlg->OnStopLive();
    settle();

    expectOnlyBox(QStringLiteral("LIVE is already stopped!"));
    EXPECT_EQ(m_counting->directPaints, 1);
    EXPECT_TRUE(library().calls().empty());
    EXPECT_TRUE(newLines().empty());
    expectIdle();
}

TEST_F(LiveTest, StartWhileLiveIsRefusedAfterTheStreamFormatIsReselected)
{
    start();
    startLive();
    const std::size_t linesBefore = newLines().size();
    library().state().streamFormat = 6;

    // The button is disabled while live; the handler is still reachable from the event table.
    dlg->OnStartLive();
    settle();

    expectOnlyBox(QStringLiteral("LIVE is already started!"));
    EXPECT_EQ(library().calls(), (std::vector<Call>{kGetStreamFormat}));
    EXPECT_EQ(selectedPosition(IDC_STREAMFORMAT), 4);
    EXPECT_EQ(newLines().size(), linesBefore);
    expectLive();
}

TEST_F(LiveTest, ChannelChangedWhileLiveIsLoggedButStopAlwaysSendsOneAndOne)
{
    start();
    startLive();
    typeInto(IDC_CHANNEL, QStringLiteral("3"));
    click(IDC_STOP_LIVE);

    ASSERT_FALSE(library().calls().empty());
    EXPECT_EQ(library().calls().front(), kPlayControl);
    const std::vector<std::string> lines = newLines();
    ASSERT_EQ(lines.size(), 7U);
    EXPECT_EQ(lines.at(3), "[0006] Call PlayControl(channel=3,mode=0).(return value=0)");
}

TEST_F(LiveTest, PlayCallsGetAZeroedOutValueModeZeroAndNoCallback)
{
    start();
    typeInto(IDC_CHANNEL, QStringLiteral("2"));
    click(IDC_START_LIVE);

    ASSERT_FALSE(library().calls().empty());
    EXPECT_EQ(library().calls().back(), playLive("2"));
    EXPECT_EQ(library().lastOutValueSeen(), 0);
    EXPECT_EQ(library().lastCallBack(), nullptr);
    EXPECT_EQ(newLines().front(), "[0005] Call PlayLive(channel=2,mode=0).(return value=0)");

    library().clearCalls();
    click(IDC_STOP_LIVE);
    ASSERT_FALSE(library().calls().empty());
    EXPECT_EQ(library().calls().front(), kPlayControl);
    EXPECT_EQ(library().lastOutValueSeen(), 0);
    EXPECT_EQ(library().lastCallBack(), nullptr);
}

TEST_F(LiveTest, UidAfterStopIsWhatTheLibraryReportsAfterClose)
{
    library().state().uid = 12;
    library().state().uidWhenOpen = 4242;
    library().state().uidWhenClosed = 99;
    start();
    ASSERT_EQ(textOf(IDC_UID), QStringLiteral("12"));
    startLive();
    EXPECT_EQ(textOf(IDC_UID), QStringLiteral("4242"));

    click(IDC_STOP_LIVE);

    EXPECT_EQ(textOf(IDC_UID), QStringLiteral("99"));
    ASSERT_FALSE(library().calls().empty());
    EXPECT_EQ(library().calls().back(), kGetUid);
}

TEST_F(LiveTest, ChannelThatIsNoNumberStopsStartLiveAfterTheStreamFormatIsReselected)
{
    start();
    typeInto(IDC_CHANNEL, QStringLiteral("abc"));
    click(IDC_START_LIVE);

    expectOnlyBox(QStringLiteral("Please enter a whole number."));
    EXPECT_EQ(library().calls(), std::vector<Call>{kGetStreamFormat});
    EXPECT_TRUE(newLines().empty());
    EXPECT_EQ(textOf(IDC_CHANNEL), QStringLiteral("1"));
    EXPECT_EQ(dlg->focusWidget(), control(IDC_CHANNEL));
    expectIdle();
}

TEST_F(LiveTest, LettersInChannelWhileLiveStopLiveEndsLiveAndLogsFourLines)
{
    start();
    typeInto(IDC_CHANNEL, QStringLiteral("2"));
    startLive();
    const std::size_t linesBefore = newLines().size();
    typeInto(IDC_CHANNEL, QStringLiteral("abc"));
    const int paints = stopLiveCountingPaints();

    expectOnlyBox(QStringLiteral("Please enter a whole number."));
    EXPECT_EQ(paints, 1);
    EXPECT_EQ(
        library().calls(),
        (std::vector<Call>{
            kPlayControl, kClearImage, {77, "SetVideoWindow", {"0"}}, {3, "Close", {}}, kGetUid}));
    const std::vector<std::string> lines = newLines();
    ASSERT_EQ(lines.size(), linesBefore + 4);
    // The channel last read, as the field shows it again.
    EXPECT_EQ(lines.at(3), "[0006] Call PlayControl(channel=2,mode=0).(return value=0)");
    EXPECT_EQ(textOf(IDC_CHANNEL), QStringLiteral("2"));
    expectIdle();
}
