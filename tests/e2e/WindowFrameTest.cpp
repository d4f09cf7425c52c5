#include "res/resource.h"
#include "tests/e2e/WindowInspector.h"
#include "tests/e2e/WindowPixels.h"
#include "tests/support/ConsoleFixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace
{
constexpr int kPatience = 10000; // ms; bounds every wait, so a fault fails instead of hanging

// _MOTIF_WM_HINTS items: flags, functions, decorations.
constexpr std::uint32_t kMotifMinimizeFunction = 1U << 3;
constexpr std::uint32_t kMotifMaximizeFunction = 1U << 4;
constexpr std::uint32_t kMotifMinimizeDecoration = 1U << 5;
constexpr std::uint32_t kMotifMaximizeDecoration = 1U << 6;

const QRect kConsoleFrame(0, 0, 965, 610);

bool contains(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The picture sizes of a _NET_WM_ICON property: width, height, then the pixels, repeated.
std::set<std::pair<std::uint32_t, std::uint32_t>> iconSizes(const std::vector<std::uint32_t>& icon)
{
    std::set<std::pair<std::uint32_t, std::uint32_t>> sizes;
    for (std::size_t at = 0; at + 2 <= icon.size();)
    {
        const std::uint32_t width = icon[at];
        const std::uint32_t height = icon[at + 1];
        sizes.insert({width, height});
        at += 2 + std::size_t{width} * height;
    }
    return sizes;
}

// The console on the recording library, under openbox on a private Xvfb.
class WindowFrameTest : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        ASSERT_TRUE(m_x.usable());
        ASSERT_TRUE(m_pixels.usable());
        startConsole();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        m_window = static_cast<std::uint32_t>(dlg->GetSafeHwnd());
        ASSERT_NE(m_window, 0U);
    }

    // Waits until the window manager has framed the console and the frame is where it belongs.
    ::testing::AssertionResult framedAtItsPlace()
    {
        std::optional<QRect> outer;
        if (QTest::qWaitFor(
                [&]
                {
                    outer = m_x.outerGeometry(m_window);
                    return outer == kConsoleFrame;
                },
                kPatience))
        {
            return ::testing::AssertionSuccess();
        }
        if (!outer)
        {
            return ::testing::AssertionFailure() << "the console was never framed";
        }
        return ::testing::AssertionFailure() << "framed at " << outer->x() << "," << outer->y()
                                             << " " << outer->width() << "x" << outer->height();
    }

    WindowInspector m_x;
    WindowPixels m_pixels;
    std::uint32_t m_window = 0;
};
} // namespace

TEST_F(WindowFrameTest, TheConsoleIsAnApplicationWindowWithBothBoxesAndItsOuterSize)
{
    EXPECT_TRUE(framedAtItsPlace());
    EXPECT_EQ(m_x.atomNames(m_window, "_NET_WM_WINDOW_TYPE"),
              std::vector<std::string>{"_NET_WM_WINDOW_TYPE_NORMAL"});
    EXPECT_FALSE(m_x.transientFor(m_window)) << "a window of its own, on the task bar";
    const std::vector<std::uint32_t> motif = m_x.items(m_window, "_MOTIF_WM_HINTS");
    ASSERT_GE(motif.size(), 3U);
    EXPECT_NE(motif[1] & kMotifMinimizeFunction, 0U);
    EXPECT_NE(motif[1] & kMotifMaximizeFunction, 0U);
    EXPECT_NE(motif[2] & kMotifMinimizeDecoration, 0U);
    EXPECT_NE(motif[2] & kMotifMaximizeDecoration, 0U);
    EXPECT_TRUE(
        contains(m_x.atomNames(m_window, "_NET_WM_ALLOWED_ACTIONS"), "_NET_WM_ACTION_MINIMIZE"));
}

// X11 shows no client area for a minimised window: the window manager unmaps it and a task bar
// shows the window's icon, which carries the icon's pictures.
TEST_F(WindowFrameTest, TheConsoleMinimisesAndRestoresFromTheTaskBar)
{
    ASSERT_TRUE(framedAtItsPlace());
    m_x.requestIconic(m_window);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return m_x.wmState(m_window) == 3 && !m_x.viewable(m_window) && dlg->IsIconic(); },
        kPatience));
    const std::set<std::pair<std::uint32_t, std::uint32_t>> sizes =
        iconSizes(m_x.items(m_window, "_NET_WM_ICON"));
    EXPECT_TRUE(sizes.count({16, 16}) == 1 && sizes.count({32, 32}) == 1 &&
                sizes.count({48, 48}) == 1);

    m_x.requestActive(m_window);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return m_x.wmState(m_window) == 1 && m_x.viewable(m_window) && !dlg->IsIconic(); },
        kPatience));
    EXPECT_TRUE(framedAtItsPlace());
    EXPECT_TRUE(QTest::qWaitFor(
        [&]
        {
            const std::vector<std::uint32_t> pixels = m_pixels.read(m_window);
            return !pixels.empty() && !WindowPixels::allBlack(pixels);
        },
        kPatience))
        << "the restored console was not painted";
}

TEST_F(WindowFrameTest, AMessageBoxIsTheConsolesAndOffersNoMaximising)
{
    std::uint32_t box = 0;
    std::string name;
    std::optional<std::uint32_t> owner;
    std::vector<std::uint32_t> motif;
    std::vector<std::string> actions;
    boxes->whileOpen(
        [&]
        {
            QWidget* shown = QApplication::activeModalWidget();
            if (shown == nullptr || !QTest::qWaitForWindowExposed(shown))
            {
                return;
            }
            box = static_cast<std::uint32_t>(shown->winId());
            if (!QTest::qWaitFor([&] { return !m_x.items(box, "_NET_FRAME_EXTENTS").empty(); },
                                 kPatience))
            {
                return;
            }
            owner = m_x.transientFor(box);
            motif = m_x.items(box, "_MOTIF_WM_HINTS");
            actions = m_x.atomNames(box, "_NET_WM_ALLOWED_ACTIONS");
            name = shown->windowTitle().toStdString();
        });
    typeInto(IDC_IPADDR, QString());
    click(IDC_SET_IPADDR);

    ASSERT_FALSE(actions.empty()) << "no box was framed";
    EXPECT_EQ(name, "quillon");
    EXPECT_EQ(owner, m_window);
    ASSERT_GE(motif.size(), 3U);
    EXPECT_EQ(motif[1] & (kMotifMinimizeFunction | kMotifMaximizeFunction), 0U);
    EXPECT_EQ(motif[2] & (kMotifMinimizeDecoration | kMotifMaximizeDecoration), 0U);
    EXPECT_TRUE(contains(actions, "_NET_WM_ACTION_CLOSE"));
    EXPECT_FALSE(contains(actions, "_NET_WM_ACTION_MAXIMIZE_HORZ"));
    EXPECT_FALSE(contains(actions, "_NET_WM_ACTION_MAXIMIZE_VERT"));
}

// Nobody draws into the idle video area: the X server must clear what a closed box leaves there.
TEST_F(WindowFrameTest, TheIdleVideoAreaIsBlackAfterAMessageBoxClosedOverIt)
{
    const auto video = static_cast<std::uint32_t>(dlg->GetDlgItem(IDC_VIDEO).GetSafeHwnd());
    ASSERT_NE(video, 0U);
    const auto black = [&] { return WindowPixels::allBlack(m_pixels.readOnScreen(video)); };
    EXPECT_TRUE(QTest::qWaitFor(black, kPatience)) << "not black at start-up";

    bool coveredByTheBox = false;
    boxes->whileOpen(
        [&]
        {
            coveredByTheBox = QTest::qWaitFor(
                [&]
                {
                    const std::vector<std::uint32_t> pixels = m_pixels.readOnScreen(video);
                    return !pixels.empty() && !WindowPixels::allBlack(pixels);
                },
                kPatience);
        });
    typeInto(IDC_IPADDR, QString());
    click(IDC_SET_IPADDR);
    ASSERT_EQ(boxes->texts().size(), 1U);
    ASSERT_TRUE(coveredByTheBox) << "the box never showed over the video area";

    EXPECT_TRUE(QTest::qWaitFor(black, kPatience)) << "the box's picture stayed in the area";
}
