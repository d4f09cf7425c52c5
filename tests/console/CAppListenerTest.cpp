#include "console/CAppListener.h"

#include "framework/CDialog.h"
#include "framework/PostedMessage.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{
const DialogTemplate kEmptyTemplate{1, "probe", 100, 50, "Liberation Sans", 8, {}, {}};

// A window that takes the listener's texts as the console does: it owns and frees each buffer.
class TextWindow : public CDialog
{
public:
    TextWindow() : CDialog(kEmptyTemplate) { Create(); }
    ~TextWindow() override { DestroyWindow(); }
    TextWindow(const TextWindow&) = delete;
    TextWindow& operator=(const TextWindow&) = delete;

    std::vector<std::string> texts()
    {
        QApplication::sendPostedEvents();
        return m_texts;
    }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM /*lParam*/) override
    {
        if (message == WM_LOGTEXT)
        {
            const std::unique_ptr<char[]> text(reinterpret_cast<char*>(wParam));
            m_texts.emplace_back(text.get());
        }
        return 0;
    }
    void OnUndeliveredMessage(const PostedMessage& message) override
    {
        delete[] reinterpret_cast<char*>(message.wParam);
    }

private:
    std::vector<std::string> m_texts;
};

class ListenerTest : public testing::Test
{
protected:
    void SetUp() override { listener.m_hTargetWnd = window.GetSafeHwnd(); }

    std::string only()
    {
        const std::vector<std::string> texts = window.texts();
        EXPECT_EQ(texts.size(), 1U);
        return texts.empty() ? std::string() : texts.front();
    }

    TextWindow window;
    CAppListener listener;
};
} // namespace

TEST_F(ListenerTest, EventsPostTheirExactTexts)
{
    IAppListener& events = listener;
    events.OnError(-7, "device lost");
    events.OnDevStatus(1, 2);
    events.OnRecStatus(3, -1);
    events.OnAlmStatus(2, 5, "2026-12-08T14:30:01.234", 1);
    events.OnPlayStatus(4, 0);
    events.OnOpStatus(-2, 9);
    events.OnImage(0, 12345, 48000);
    events.OnImage(0, -99, 48000);
    EXPECT_EQ(window.texts(), (std::vector<std::string>{
                                  "** Event ** OnError(errorCode=-7, description=device lost)",
                                  "** Event ** OnDevStatus(channel=1, status=2)",
                                  "** Event ** OnRecStatus(channel=3, status=-1)",
                                  std::string("** Event ** OnAlmStatus(channel=2, type=5, ") +
                                      "timeDate=2026-12-08T14:30:01.234, status=1)",
                                  "** Event ** OnPlayStatus(channel=4, status=0)",
                                  "** Event ** OnOpStatus(channel=-2, status=9)",
                                  "** Event ** OnImage(type=0, size=48000)",
                                  "** Event ** OnImage(type=0, size=48000)",
                              }));
}

TEST_F(ListenerTest, CallbacksPostTheirExactTexts)
{
    IAppCallBack& callbacks = listener;
    callbacks.OnAlmStatusCB(1);
    callbacks.OnRecCB(-3);
    callbacks.OnSearchCB();
    callbacks.OnSearchExCB();
    callbacks.OnOpStatusCB(2);
    callbacks.OnPlayStatusCB(0);
    callbacks.OnFtpStatusCB(7);
    EXPECT_EQ(window.texts(), (std::vector<std::string>{
                                  "** Callback ** OnAlmStatusCB(status=1)",
                                  "** Callback ** OnRecCB(status=-3)",
                                  "** Callback ** OnSearchCB",
                                  "** Callback ** OnSearchExCB",
                                  "** Callback ** OnOpStatusCB(status=2)",
                                  "** Callback ** OnPlayStatusCB(status=0)",
                                  "** Callback ** OnFtpStatusCB(Status=7)",
                              }));
}

TEST_F(ListenerTest, TextArgumentsAreNeverFormatsAndNullIsShownAsSuch)
{
    listener.OnError(1, "100% %s %d %n done");
    listener.OnError(2, nullptr);
    listener.OnAlmStatus(1, 2, nullptr, 3);
    const std::vector<std::string> texts = window.texts();
    ASSERT_EQ(texts.size(), 3U);
    EXPECT_EQ(texts[0], "** Event ** OnError(errorCode=1, description=100% %s %d %n done)");
    EXPECT_EQ(texts[1], "** Event ** OnError(errorCode=2, description=(null))");
    EXPECT_EQ(texts[2], "** Event ** OnAlmStatus(channel=1, type=2, timeDate=(null), status=3)");
}

TEST_F(ListenerTest, ALongTextIsCutToItsFirst1023Characters)
{
    const std::string description(2000, 'd');
    listener.OnError(5, description.c_str());
    const std::string whole = "** Event ** OnError(errorCode=5, description=" + description + ")";
    EXPECT_EQ(only(), whole.substr(0, 1023));
}

TEST_F(ListenerTest, UnnamedOperationsPostNothing)
{
    IAppListener& events = listener;
    events.Event04(1, 2, 3, 4, 5);
    events.Event06(1, 2);
    events.Event10(1, 2, 3);
    events.Event11(1, 2);
    events.Event12(1, 2);
    events.Event13(1, 2);
    events.Event14(1, 2, 3, 4);
    events.Event15(1, 2);
    static_cast<IAppCallBack&>(listener).CallBack05(1);
    EXPECT_TRUE(window.texts().empty());
}

TEST_F(ListenerTest, NothingIsPostedWithoutATargetOrToAWindowThatIsGone)
{
    CAppListener fresh;
    fresh.OnDevStatus(1, 2); // no target yet
    EXPECT_TRUE(window.texts().empty());

    auto gone = std::make_unique<TextWindow>();
    fresh.m_hTargetWnd = gone->GetSafeHwnd();
    gone.reset();
    fresh.OnDevStatus(1, 2); // the failed post's buffer is freed (ASan/LSan would tell)
    EXPECT_TRUE(window.texts().empty());
}

TEST_F(ListenerTest, PostsFromManyThreadsArriveOnceInEachThreadsOrder)
{
    constexpr int kThreads = 8;
    constexpr int kEach = 2000;
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int thread = 0; thread < kThreads; ++thread)
    {
        threads.emplace_back(
            [this, thread]
            {
                for (int i = 0; i < kEach; ++i)
                {
                    listener.OnDevStatus(thread, i);
                }
            });
    }
    for (std::thread& thread : threads)
    {
        thread.join();
    }
    const std::vector<std::string> texts = window.texts();
    ASSERT_EQ(texts.size(), static_cast<std::size_t>(kThreads * kEach));
    std::vector<int> next(kThreads, 0);
    for (const std::string& text : texts)
    {
        int channel = -1;
        int status = -1;
        ASSERT_EQ(std::sscanf(text.c_str(), "** Event ** OnDevStatus(channel=%d, status=%d)",
                              &channel, &status),
                  2);
        ASSERT_EQ(status, next.at(static_cast<std::size_t>(channel))++);
    }
}
