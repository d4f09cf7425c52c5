#include "framework/WindowRegistry.h"
#include "tests/support/ConsoleFixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <atomic>
#include <cstring>
#include <thread>

namespace
{
using LogTest = ConsoleFixture;

char* heapText(const std::string& text)
{
    auto* buffer = new char[text.size() + 1];
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return buffer;
}

void postText(HWND window, const std::string& text)
{
    char* buffer = heapText(text);
    if (!PostMessage(window, WM_LOGTEXT, reinterpret_cast<WPARAM>(buffer), 0))
    {
        delete[] buffer;
    }
}

TEST_F(LogTest, LinesAreNumberedWithAtLeastFourDigitsNewestFirst)
{
    startConsole();
    EXPECT_EQ(dlg->m_LogText.str(),
              "[0002] +-+-+-+ Quillon +-+-+-+\r\n[0001] Quillon.exe finish initialization.\r\n");
    dlg->m_LogCount = 9998;
    dlg->AddLogLine("%s", "a");
    dlg->AddLogLine("%s %d", "b", -3);
    dlg->UpdateData(false);
    EXPECT_EQ(dlg->m_LogLine, "[10000] b -3");
    const std::vector<std::string> lines = logLines();
    ASSERT_GE(lines.size(), 4U);
    EXPECT_EQ(lines[0], "[10000] b -3");
    EXPECT_EQ(lines[1], "[9999] a");
    EXPECT_EQ(lines[2], "[0002] +-+-+-+ Quillon +-+-+-+");
}

TEST_F(LogTest, PostedTextIsShownAsItCameAndEmptyTextIsIgnored)
{
    startConsole();
    postText(dlg->GetSafeHwnd(), "100% %s %d %n");
    postText(dlg->GetSafeHwnd(), "");
    PostMessage(dlg->GetSafeHwnd(), WM_LOGTEXT, 0, 0);
    postText(dlg->GetSafeHwnd(), "two\r\nlines");
    settle();
    EXPECT_EQ(dlg->m_LogCount, 4);
    EXPECT_EQ(dlg->m_LogText.str(), "[0004] two\r\nlines\r\n[0003] 100% %s %d %n\r\n"
                                    "[0002] +-+-+-+ Quillon +-+-+-+\r\n"
                                    "[0001] Quillon.exe finish initialization.\r\n");
}

TEST_F(LogTest, TextTypedIntoTheLogStaysBelowNewLines)
{
    startConsole();
    auto* log = qobject_cast<QPlainTextEdit*>(control(IDC_LOG));
    log->setFocus();
    log->moveCursor(QTextCursor::End);
    QTest::keyClicks(log, QStringLiteral("my note"));
    postText(dlg->GetSafeHwnd(), "event");
    settle();
    typeInto(IDC_HTTPPORT, QStringLiteral("8080"));
    click(IDC_SET_HTTPPORT);
    const std::string log_ = dlg->m_LogText.str();
    EXPECT_EQ(log_.rfind("[0004] Call SetHttpPort(port=8080).(return value=0)\r\n"
                         "[0003] event\r\n[0002] ",
                         0),
              0U)
        << log_;
    EXPECT_NE(log_.find("my note"), std::string::npos) << log_;
    EXPECT_EQ(logLines().front(), "[0004] Call SetHttpPort(port=8080).(return value=0)");
}

TEST_F(LogTest, AnUnreadableNumberCostsNothingTypedElsewhere)
{
    startConsole();
    library().clearCalls();
    typeInto(IDC_HTTPPORT, QStringLiteral("abc"));
    typeInto(IDC_CHANNEL, QStringLiteral("99999999999"));
    typeInto(IDC_USERNAME, QStringLiteral("bob"));
    click(IDC_SET_USERNAME);
    ASSERT_EQ(boxes->boxes().size(), 1U) << "one message, for the first unreadable field";
    ASSERT_EQ(library().calls().size(), 1U);
    EXPECT_EQ(library().calls().front().args, std::vector<std::string>{"bob"});
    EXPECT_EQ(logLines().front(), "[0003] Call SetUserName(userName=bob).(return value=0)");
    EXPECT_EQ(dlg->m_UserName, "bob");
    EXPECT_EQ(textOf(IDC_USERNAME), QStringLiteral("bob"));
    EXPECT_EQ(textOf(IDC_HTTPPORT), QStringLiteral("80"));
    EXPECT_EQ(textOf(IDC_CHANNEL), QStringLiteral("1"));
    EXPECT_EQ(dlg->focusWidget(), control(IDC_HTTPPORT));
}

TEST_F(LogTest, APostedLineNeverDisturbsWhatIsBeingTyped)
{
    startConsole();
    typeInto(IDC_HTTPPORT, QStringLiteral("12ab"));
    typeInto(IDC_IPADDR, QStringLiteral("10.1.2.3"));
    postText(dlg->GetSafeHwnd(), "event while typing");
    settle();
    EXPECT_TRUE(boxes->boxes().empty());
    EXPECT_EQ(textOf(IDC_HTTPPORT), QStringLiteral("12ab"));
    EXPECT_EQ(textOf(IDC_IPADDR), QStringLiteral("10.1.2.3"));
    EXPECT_EQ(logLines().front(), "[0003] event while typing");
}

TEST_F(LogTest, ALinePostedWhileAMessageBoxIsOpenIsLoggedAndCarriedAlong)
{
    startConsole();
    typeInto(IDC_IPADDR, QString());
    boxes->whileOpen(
        [this]
        {
            postText(dlg->GetSafeHwnd(), "arrived during the box");
            settle();
        });
    click(IDC_SET_IPADDR);
    ASSERT_EQ(boxes->texts(), std::vector<QString>{QStringLiteral("Please specify IPAddr!")});
    EXPECT_EQ(logLines().front(), "[0003] arrived during the box");
    EXPECT_EQ(dlg->m_LogCount, 3);
}

TEST_F(LogTest, LinesFromManyLibraryThreadsArriveOnceInEachThreadsOrder)
{
    startConsole();
    constexpr int kThreads = 8;
    constexpr int kEach = 100000;
    library().raiseFromThreads(kThreads, kEach,
                               [](IAppListener& listener, int thread, int i)
                               { listener.OnDevStatus(thread, i); });
    settle();
    EXPECT_EQ(dlg->m_LogCount, 2 + kThreads * kEach);
    std::vector<int> next(kThreads, 0);
    const std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(2 + kThreads * kEach));
    for (auto line = lines.rbegin() + 2; line != lines.rend(); ++line)
    {
        int number = 0;
        int channel = -1;
        int status = -1;
        ASSERT_EQ(std::sscanf(line->c_str(), "[%d] ** Event ** OnDevStatus(channel=%d, status=%d)",
                              &number, &channel, &status),
                  3)
            << *line;
        ASSERT_EQ(status, next.at(static_cast<std::size_t>(channel))++);
    }
}

// The library keeps calling the listener after the console is gone; such calls must find valid
// memory and post nothing (run under ASan to see it).
TEST_F(LogTest, ClosingTheConsoleWhileEventsStreamIsSafe)
{
    constexpr int kCallsAfterClosing = 2000;
    for (int round = 0; round < 20; ++round)
    {
        startConsole();
        IAppListener* listener = library().registeredListener();
        ASSERT_NE(listener, nullptr);
        std::atomic<bool> stop{false};
        std::atomic<int> calls{0};
        std::vector<std::thread> streams;
        streams.reserve(3);
        for (int thread = 0; thread < 3; ++thread)
        {
            streams.emplace_back(
                [listener, &stop, &calls, thread]
                {
                    for (int i = 0; !stop.load(); ++i)
                    {
                        listener->OnDevStatus(thread, i);
                        listener->OnError(i, "still streaming");
                        ++calls;
                    }
                });
        }
        // Closed while the events reach the log, and called on after that.
        EXPECT_TRUE(QTest::qWaitFor([&] { return dlg->m_LogCount > 2; }));
        dlg.reset();
        const int callsWhenClosed = calls.load();
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return calls.load() > callsWhenClosed + kCallsAfterClosing; }));
        stop = true;
        for (std::thread& stream : streams)
        {
            stream.join();
        }
        settle();
    }
}
} // namespace
