#include "framework/CDialog.h"
#include "framework/PostedMessage.h"
#include "framework/WindowRegistry.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <thread>
#include <vector>

namespace
{
const DialogTemplate kEmptyTemplate{1, "probe", 100, 50, "Liberation Sans", 8, {}, {}};

// A window that keeps every message posted to it, those it never took, and the size of each round.
class ProbeWindow : public CDialog
{
public:
    ProbeWindow() : CDialog(kEmptyTemplate) {}
    ~ProbeWindow() override { DestroyWindow(); }
    ProbeWindow(const ProbeWindow&) = delete;
    ProbeWindow& operator=(const ProbeWindow&) = delete;

    std::vector<PostedMessage> received;
    std::vector<PostedMessage> undelivered;
    std::vector<std::size_t> rounds;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        received.push_back({message, wParam, lParam});
        return 0;
    }
    void OnUndeliveredMessage(const PostedMessage& message) override
    {
        undelivered.push_back(message);
    }
    void OnPostedRoundEnd(std::size_t taken) override { rounds.push_back(taken); }
};

void deliver()
{
    QApplication::sendPostedEvents();
    QApplication::processEvents();
}
} // namespace

TEST(PostMessage, ReachesTheWindowOnItsThreadWithItsParameters)
{
    ProbeWindow window;
    ASSERT_TRUE(window.Create());
    ASSERT_NE(window.GetSafeHwnd(), 0U);
    std::thread poster([&] { EXPECT_TRUE(PostMessage(window.GetSafeHwnd(), 0x401, 7, -3)); });
    poster.join();
    EXPECT_TRUE(window.received.empty()) << "delivered before the window's loop ran";
    deliver();
    ASSERT_EQ(window.received.size(), 1U);
    EXPECT_EQ(window.received[0].message, 0x401U);
    EXPECT_EQ(window.received[0].wParam, 7U);
    EXPECT_EQ(window.received[0].lParam, -3);
}

TEST(PostMessage, FailsHarmlesslyForAWindowThatIsGone)
{
    EXPECT_FALSE(PostMessage(0, 0x401, 1, 0));
    HWND handle = 0;
    {
        ProbeWindow window;
        ASSERT_TRUE(window.Create());
        handle = window.GetSafeHwnd();
        window.DestroyWindow();
        EXPECT_FALSE(PostMessage(handle, 0x401, 1, 0));
        EXPECT_TRUE(window.undelivered.empty());
    }
    EXPECT_FALSE(PostMessage(handle, 0x401, 1, 0));
    deliver();
}

TEST(PostMessage, HandsBackWhatTheWindowNeverTook)
{
    ProbeWindow window;
    ASSERT_TRUE(window.Create());
    ASSERT_TRUE(PostMessage(window.GetSafeHwnd(), 0x401, 1, 0));
    ASSERT_TRUE(PostMessage(window.GetSafeHwnd(), 0x401, 2, 0));
    window.DestroyWindow();
    deliver();
    EXPECT_TRUE(window.received.empty());
    ASSERT_EQ(window.undelivered.size(), 2U);
    EXPECT_EQ(window.undelivered[0].wParam, 1U);
    EXPECT_EQ(window.undelivered[1].wParam, 2U);
}

TEST(PostMessage, KeepsEachThreadsOrderAndLosesNothing)
{
    ProbeWindow window;
    ASSERT_TRUE(window.Create());
    constexpr int kThreads = 4;
    constexpr int kEach = 5000;
    std::vector<std::thread> posters;
    posters.reserve(kThreads);
    for (int thread = 0; thread < kThreads; ++thread)
    {
        posters.emplace_back(
            [&window, thread]
            {
                for (int i = 0; i < kEach; ++i)
                {
                    PostMessage(window.GetSafeHwnd(), 0x401, static_cast<WPARAM>(i),
                                static_cast<LPARAM>(thread));
                }
            });
    }
    for (std::thread& poster : posters)
    {
        poster.join();
    }
    deliver();
    ASSERT_EQ(window.received.size(), static_cast<std::size_t>(kThreads * kEach));
    // All was waiting when the window's thread came to it: one round takes it all.
    EXPECT_EQ(window.rounds, std::vector<std::size_t>{window.received.size()});
    std::vector<WPARAM> next(kThreads, 0);
    for (const PostedMessage& message : window.received)
    {
        auto& expected = next.at(static_cast<std::size_t>(message.lParam));
        ASSERT_EQ(message.wParam, expected);
        ++expected;
    }
}
