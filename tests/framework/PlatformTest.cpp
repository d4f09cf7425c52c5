#include "framework/Platform.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

namespace
{
// Puts an environment variable back as it was when the test ends.
class SavedVariable
{
public:
    explicit SavedVariable(const char* name)
        : m_name(name), m_wasSet(qEnvironmentVariableIsSet(name)), m_value(qgetenv(name))
    {
    }
    ~SavedVariable()
    {
        if (m_wasSet)
        {
            qputenv(m_name, m_value);
        }
        else
        {
            qunsetenv(m_name);
        }
    }
    SavedVariable(const SavedVariable&) = delete;
    SavedVariable& operator=(const SavedVariable&) = delete;

private:
    const char* m_name;
    bool m_wasSet;
    QByteArray m_value;
};
} // namespace

TEST(Platform, AWaylandDesktopRunsTheConsoleThroughX11)
{
    const SavedVariable platform("QT_QPA_PLATFORM");
    const SavedVariable wayland("WAYLAND_DISPLAY");
    qunsetenv("QT_QPA_PLATFORM");
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    choosePlatformPlugin();
    EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), QByteArray("xcb"));
}

TEST(Platform, AnExplicitPlatformOrAnX11DesktopIsLeftAlone)
{
    const SavedVariable platform("QT_QPA_PLATFORM");
    const SavedVariable wayland("WAYLAND_DISPLAY");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    choosePlatformPlugin();
    EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), QByteArray("offscreen"));

    qunsetenv("QT_QPA_PLATFORM");
    qunsetenv("WAYLAND_DISPLAY");
    choosePlatformPlugin();
    EXPECT_FALSE(qEnvironmentVariableIsSet("QT_QPA_PLATFORM"));
}
