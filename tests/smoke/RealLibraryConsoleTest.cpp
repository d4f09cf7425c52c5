#include "devicelib/DeviceLibrary.h"
#include "tests/support/ConsoleDriver.h"

#include <QComboBox>
#include <QTest>
#include <string>

// The console on the real stand-in libvelkor.so, offscreen, with no device: start-up shows the
// library's defaults, and every setter reaches the library, which accepts or refuses and restores.
namespace
{
using RealLibraryConsoleTest = ConsoleDriver;

std::string topLine(const std::vector<std::string>& lines)
{
    return lines.empty() ? std::string() : lines.front();
}

void restoreLibraryDefaults()
{
    DeviceLibrary* library = GetVelkorAPI();
    library->SetIPAddr("127.0.0.1");
    library->SetHttpPort(18080);
    library->SetUserName("");
    library->SetPassword("");
    library->SetDeviceType(0);
    library->SetStreamFormat(0);
    library->SetJPEGResolution(640);
    library->SetMPEG4Resolution(640);
    library->SetH264Resolution(1280);
}

TEST_F(RealLibraryConsoleTest, StartsShowingTheLibrarysDefaults)
{
    restoreLibraryDefaults();
    startConsole();
    EXPECT_EQ(textOf(IDC_IPADDR), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(textOf(IDC_HTTPPORT), QStringLiteral("18080"));
    EXPECT_EQ(textOf(IDC_UID), QStringLiteral("0"));
    EXPECT_EQ(textOf(IDC_CHANNEL), QStringLiteral("1"));
    auto shown = [this](int id) { return qobject_cast<QComboBox*>(control(id))->currentText(); };
    EXPECT_EQ(shown(IDC_DEVICETYPE), QStringLiteral("0 : Tessel"));
    EXPECT_EQ(shown(IDC_STREAMFORMAT), QStringLiteral("0 : JPEG"));
    EXPECT_EQ(shown(IDC_JPEGRESOLUTION), QStringLiteral(" 640"));
    EXPECT_EQ(shown(IDC_MPEG4RESOLUTION), QStringLiteral(" 640"));
    EXPECT_EQ(shown(IDC_H264RESOLUTION), QStringLiteral("1280"));
    EXPECT_EQ(logLines().at(0), "[0002] +-+-+-+ Quillon +-+-+-+");
    EXPECT_EQ(logLines().at(1), "[0001] Quillon.exe finish initialization.");
    EXPECT_TRUE(boxes->boxes().empty());
}

TEST_F(RealLibraryConsoleTest, TextSettersAreAcceptedOrRefusedAndRestored)
{
    restoreLibraryDefaults();
    startConsole();
    const struct
    {
        int field;
        int button;
        QString value;
        std::string line;
        QString shownAfter;
    } presses[] = {
        {IDC_IPADDR, IDC_SET_IPADDR, QStringLiteral("10.0.0.1"),
         "Call SetIPAddr(ipaddr=10.0.0.1).(return value=0)", QStringLiteral("10.0.0.1")},
        {IDC_IPADDR, IDC_SET_IPADDR, QStringLiteral("fe80::1"),
         "Call SetIPAddr(ipaddr=fe80::1).(return value=0)", QStringLiteral("fe80::1")},
        {IDC_IPADDR, IDC_SET_IPADDR, QStringLiteral("camera-7.example"),
         "Call SetIPAddr(ipaddr=camera-7.example).(return value=0)",
         QStringLiteral("camera-7.example")},
        {IDC_IPADDR, IDC_SET_IPADDR, QStringLiteral("no such address!"),
         "Call SetIPAddr(ipaddr=camera-7.example).(return value=-16)",
         QStringLiteral("camera-7.example")},
        {IDC_IPADDR, IDC_SET_IPADDR, QStringLiteral("300.1.2.3.4"),
         "Call SetIPAddr(ipaddr=camera-7.example).(return value=-16)",
         QStringLiteral("camera-7.example")},
        {IDC_HTTPPORT, IDC_SET_HTTPPORT, QStringLiteral("65535"),
         "Call SetHttpPort(port=65535).(return value=0)", QStringLiteral("65535")},
        {IDC_HTTPPORT, IDC_SET_HTTPPORT, QStringLiteral("65536"),
         "Call SetHttpPort(port=65535).(return value=-15)", QStringLiteral("65535")},
        {IDC_USERNAME, IDC_SET_USERNAME, QStringLiteral("operator"),
         "Call SetUserName(userName=operator).(return value=0)", QStringLiteral("operator")},
        {IDC_USERNAME, IDC_SET_USERNAME, QString(65, QLatin1Char('u')),
         "Call SetUserName(userName=operator).(return value=-17)", QStringLiteral("operator")},
        {IDC_PASSWORD, IDC_SET_PASSWORD, QStringLiteral("s3cret %d"),
         "Call SetPassword(password=s3cret %d).(return value=0)", QStringLiteral("s3cret %d")},
        {IDC_PASSWORD, IDC_SET_PASSWORD, QString(129, QLatin1Char('p')),
         "Call SetPassword(password=s3cret %d).(return value=-17)", QStringLiteral("s3cret %d")},
        {IDC_PASSWORD, IDC_SET_PASSWORD, QString(), "Call SetPassword(password=).(return value=0)",
         QString()},
    };
    int number = 2;
    for (const auto& press : presses)
    {
        typeInto(press.field, press.value);
        click(press.button);
        ++number;
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "[%04d] ", number);
        const std::vector<std::string> lines = logLines();
        // A refused address also says why, in an OnError that may already stand above the call.
        const bool refusedAddress = press.line.find("(return value=-16)") != std::string::npos;
        EXPECT_EQ(refusedAddress && !lines.empty() &&
                          lines.front().find("OnError") != std::string::npos
                      ? lines.at(1)
                      : topLine(lines),
                  prefix + press.line)
            << press.value.toStdString();
        EXPECT_EQ(textOf(press.field), press.shownAfter) << press.value.toStdString();
        if (refusedAddress)
        {
            QTRY_VERIFY(topLine(logLines())
                            .find("** Event ** OnError(errorCode=-16, "
                                  "description=the address is neither") != std::string::npos);
            ++number;
        }
    }
    EXPECT_TRUE(boxes->boxes().empty());
    restoreLibraryDefaults();
}

TEST_F(RealLibraryConsoleTest, EveryListItemIsAcceptedByTheLibrary)
{
    restoreLibraryDefaults();
    startConsole();
    const struct
    {
        int list;
        int button;
        const char* call; // the line up to the code
    } lists[] = {
        {IDC_DEVICETYPE, IDC_SET_DEVICETYPE, "Call SetDeviceType(type="},
        {IDC_STREAMFORMAT, IDC_SET_STREAMFORMAT, "Call SetStreamFormat(format="},
        {IDC_JPEGRESOLUTION, IDC_SET_JPEGRESOLUTION, "Call SetJPEGResolution(resolution="},
        {IDC_MPEG4RESOLUTION, IDC_SET_MPEG4RESOLUTION, "Call SetMPEG4Resolution(resolution="},
        {IDC_H264RESOLUTION, IDC_SET_H264RESOLUTION, "Call SetH264Resolution(resolution="},
    };
    for (const auto& entry : lists)
    {
        const std::vector<QString> items = itemsOf(entry.list);
        ASSERT_FALSE(items.empty());
        for (int position = 0; position < static_cast<int>(items.size()); ++position)
        {
            select(entry.list, position);
            click(entry.button);
            // Every item's text begins with its code, or is the code (widths).
            const int code = items[static_cast<std::size_t>(position)]
                                 .trimmed()
                                 .section(QLatin1Char(' '), 0, 0)
                                 .toInt();
            const std::string expected = entry.call + std::to_string(code) + ").(return value=0)";
            const std::string line = topLine(logLines());
            EXPECT_EQ(line.substr(line.find(' ') + 1), expected);
            EXPECT_EQ(selectedPosition(entry.list), position);
        }
    }
    restoreLibraryDefaults();
}
} // namespace
