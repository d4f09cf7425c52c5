#include "tests/support/ConsoleFixture.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace
{
using Call = RecordingLibrary::Call;
using State = RecordingLibrary::State;

struct TextField
{
    const char* label;
    int field;
    int button;
    int setSlot;
    const char* setName;
    int getSlot;
    const char* getName;
    const char* argument;
    std::string State::*held;
};

const TextField kTextFields[] = {
    {"IPAddr", IDC_IPADDR, IDC_SET_IPADDR, 13, "SetIPAddr", 14, "GetIPAddr", "ipaddr",
     &State::ipAddr},
    {"UserName", IDC_USERNAME, IDC_SET_USERNAME, 26, "SetUserName", 27, "GetUserName", "userName",
     &State::userName},
    {"Password", IDC_PASSWORD, IDC_SET_PASSWORD, 28, "SetPassword", 29, "GetPassword", "password",
     &State::password},
};

struct ListField
{
    const char* label;
    int list;
    int button;
    int setSlot;
    const char* setName;
    int getSlot;
    const char* getName;
    const char* argument;
    int32_t State::*held;
    int startPosition; // where the code the library holds at start-up is shown
    int32_t startCode;
    int pickPosition; // what the user picks, and the code that stands for it
    int32_t pickCode;
    int32_t unknownCode; // a code the library may hold that has no item
};

const ListField kListFields[] = {
    {"DeviceType", IDC_DEVICETYPE, IDC_SET_DEVICETYPE, 11, "SetDeviceType", 12, "GetDeviceType",
     "type", &State::deviceType, 2, 2, 4, 4, 5},
    {"StreamFormat", IDC_STREAMFORMAT, IDC_SET_STREAMFORMAT, 194, "SetStreamFormat", 195,
     "GetStreamFormat", "format", &State::streamFormat, 1, 1, 3, 3, 4},
    {"JPEGResolution", IDC_JPEGRESOLUTION, IDC_SET_JPEGRESOLUTION, 192, "SetJPEGResolution", 193,
     "GetJPEGResolution", "resolution", &State::jpegResolution, 1, 640, 6, 2048, 1024},
    {"MPEG4Resolution", IDC_MPEG4RESOLUTION, IDC_SET_MPEG4RESOLUTION, 188, "SetMPEG4Resolution",
     189, "GetMPEG4Resolution", "resolution", &State::mpeg4Resolution, 0, 320, 1, 640, 800},
    {"H264Resolution", IDC_H264RESOLUTION, IDC_SET_H264RESOLUTION, 190, "SetH264Resolution", 191,
     "GetH264Resolution", "resolution", &State::h264Resolution, 4, 1280, 5, 1920, 2048},
};

const std::vector<std::string> kStartLines{"[0002] +-+-+-+ Quillon +-+-+-+",
                                           "[0001] Quillon.exe finish initialization."};

std::string numbered(int number, const std::string& text)
{
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "[%04d] ", number);
    return prefix + text;
}

std::string callLine(int number, const std::string& name, const std::string& argument,
                     const std::string& value, int result)
{
    return numbered(number, "Call " + name + "(" + argument + "=" + value +
                                ").(return value=" + std::to_string(result) + ")");
}

// Lines logged since start-up, newest first.
std::vector<std::string> linesAbove(std::vector<std::string> lines,
                                    const std::vector<std::string>& start)
{
    if (lines.size() >= start.size() &&
        std::equal(start.begin(), start.end(), lines.end() - static_cast<long>(start.size())))
    {
        lines.resize(lines.size() - start.size());
    }
    return lines;
}

class SettersTest : public ConsoleFixture
{
protected:
    // Starts the console and forgets the start-up calls.
    void start()
    {
        startConsole();
        library().clearCalls();
    }

    std::vector<std::string> newLines() const { return linesAbove(logLines(), kStartLines); }

    // Puts text into a field at once, as pasting it would.
    void paste(int id, const QString& text)
    {
        auto* edit = qobject_cast<QLineEdit*>(control(id));
        ASSERT_NE(edit, nullptr);
        edit->selectAll();
        edit->insert(text);
        ASSERT_EQ(edit->text(), text);
    }

    // The press was turned away before reaching the library: one box, no call, no line.
    void expectRefusedBeforeAnyCall(const QString& message, std::size_t boxesBefore = 0,
                                    std::size_t linesBefore = 0)
    {
        ASSERT_EQ(boxes->boxes().size(), boxesBefore + 1);
        EXPECT_EQ(boxes->texts().back(), message);
        EXPECT_TRUE(library().calls().empty());
        EXPECT_EQ(newLines().size(), linesBefore);
    }

    // Presses the password's Set button `times` times, each accepted and logged.
    void logAcceptedSets(int times)
    {
        for (int i = 0; i < times; ++i)
        {
            click(IDC_SET_PASSWORD);
        }
        library().clearCalls();
    }

    void holdUnknownListCodes()
    {
        for (const ListField& list : kListFields)
        {
            library().state().*list.held = list.unknownCode;
        }
    }

    void holdStartListCodes()
    {
        for (const ListField& list : kListFields)
        {
            library().state().*list.held = list.startCode;
        }
    }
};
} // namespace

TEST_F(SettersTest, EmptyAddressIsRefusedAndTheNextLineTakesTheNextNumber)
{
    start();
    typeInto(IDC_IPADDR, QString());
    click(IDC_SET_IPADDR);

    expectRefusedBeforeAnyCall(QStringLiteral("Please specify IPAddr!"));
    EXPECT_EQ(dlg->m_LogCount, 2);

    click(IDC_SET_HTTPPORT);
    EXPECT_EQ(newLines(), (std::vector<std::string>{
                              callLine(3, "SetHttpPort", "port", "80", 0),
                          }));
}

TEST_F(SettersTest, PortZeroOrNegativeIsRefusedAndStaysInTheField)
{
    start();
    std::size_t boxesBefore = 0;
    for (const QString& port : {QStringLiteral("0"), QStringLiteral("-5")})
    {
        SCOPED_TRACE(port.toStdString());
        typeInto(IDC_HTTPPORT, port);
        click(IDC_SET_HTTPPORT);

        expectRefusedBeforeAnyCall(QStringLiteral("Please specify HttpPort!"), boxesBefore++);
        EXPECT_EQ(textOf(IDC_HTTPPORT), port);
    }
}

TEST_F(SettersTest, AcceptedPortIsSentAndLogged)
{
    start();
    typeInto(IDC_HTTPPORT, QStringLiteral("8081"));
    click(IDC_SET_HTTPPORT);

    EXPECT_EQ(library().calls(), (std::vector<Call>{{15, "SetHttpPort", {"8081"}}}));
    EXPECT_EQ(newLines(),
              (std::vector<std::string>{callLine(3, "SetHttpPort", "port", "8081", 0)}));
    EXPECT_EQ(textOf(IDC_HTTPPORT), QStringLiteral("8081"));
    EXPECT_EQ(library().state().httpPort, 8081);
}

TEST_F(SettersTest, RefusedPortShowsTheLibraryPortInFieldAndLine)
{
    start();
    logAcceptedSets(9);
    ASSERT_EQ(dlg->m_LogCount, 11);
    library().setResult(15, -1);
    typeInto(IDC_HTTPPORT, QStringLiteral("81"));
    click(IDC_SET_HTTPPORT);

    EXPECT_EQ(library().calls(),
              (std::vector<Call>{{15, "SetHttpPort", {"81"}}, {16, "GetHttpPort", {}}}));
    EXPECT_EQ(logLines().front(), "[0012] Call SetHttpPort(port=80).(return value=-1)");
    EXPECT_EQ(textOf(IDC_HTTPPORT), QStringLiteral("80"));
    EXPECT_TRUE(boxes->boxes().empty());
}

TEST_F(SettersTest, AcceptedTextsAreSentWholeAndLogged)
{
    start();
    int number = 3;
    for (const TextField& text : kTextFields)
    {
        SCOPED_TRACE(text.label);
        library().clearCalls();
        typeInto(text.field, QStringLiteral("new-value.1"));
        click(text.button);

        EXPECT_EQ(library().calls(),
                  (std::vector<Call>{{text.setSlot, text.setName, {"new-value.1"}}}));
        EXPECT_EQ(logLines().front(),
                  callLine(number++, text.setName, text.argument, "new-value.1", 0));
        EXPECT_EQ(textOf(text.field), QStringLiteral("new-value.1"));
        EXPECT_EQ(library().state().*text.held, "new-value.1");
    }
}

TEST_F(SettersTest, EmptyUserNameAndPasswordAreSentAndLogged)
{
    start();
    int number = 3;
    for (const TextField& text : {kTextFields[1], kTextFields[2]})
    {
        SCOPED_TRACE(text.label);
        library().clearCalls();
        typeInto(text.field, QString());
        click(text.button);

        EXPECT_EQ(library().calls(), (std::vector<Call>{{text.setSlot, text.setName, {""}}}));
        EXPECT_EQ(logLines().front(), callLine(number++, text.setName, text.argument, "", 0));
        EXPECT_EQ(library().state().*text.held, "");
    }
    EXPECT_TRUE(boxes->boxes().empty());
}

TEST_F(SettersTest, RefusedTextShowsTheLibraryValueInFieldAndLine)
{
    library().state().ipAddr = "203.0.113.5";
    library().state().userName = "operator";
    library().state().password = "secret";
    start();
    int number = 3;
    for (const TextField& text : kTextFields)
    {
        SCOPED_TRACE(text.label);
        library().clearCalls();
        library().setResult(text.setSlot, -2);
        const std::string held = library().state().*text.held;
        typeInto(text.field, QStringLiteral("refused"));
        click(text.button);

        EXPECT_EQ(library().calls(),
                  (std::vector<Call>{{text.setSlot, text.setName, {"refused"}},
                                     {text.getSlot, text.getName, {"zeroed", "256"}}}));
        EXPECT_EQ(textOf(text.field), QString::fromStdString(held));
        EXPECT_EQ(logLines().front(), callLine(number++, text.setName, text.argument, held, -2));
    }
}

TEST_F(SettersTest, TextOf255BytesIsSentWholeAnd256AreRefused)
{
    // 85 three-byte characters fill the 255 bytes exactly; one byte more is one too many.
    const QString fits = QString(85, QChar(0x20AC));
    const QString tooLong = fits + QLatin1Char('a');
    ASSERT_EQ(fits.toUtf8().size(), 255);
    ASSERT_EQ(tooLong.toUtf8().size(), 256);
    start();
    int number = 3;
    std::size_t boxesBefore = 0;
    for (const TextField& text : kTextFields)
    {
        SCOPED_TRACE(text.label);
        library().clearCalls();
        paste(text.field, fits);
        click(text.button);
        EXPECT_EQ(library().calls(),
                  (std::vector<Call>{{text.setSlot, text.setName, {fits.toStdString()}}}));
        EXPECT_EQ(logLines().front(),
                  callLine(number++, text.setName, text.argument, fits.toStdString(), 0));

        library().clearCalls();
        const std::size_t linesBefore = newLines().size();
        paste(text.field, tooLong);
        click(text.button);
        ASSERT_EQ(boxes->boxes().size(), boxesBefore + 1);
        EXPECT_TRUE(boxes->texts().back().startsWith(QString::fromLatin1(text.label)));
        EXPECT_TRUE(boxes->texts().back().contains(QStringLiteral("255")));
        EXPECT_TRUE(library().calls().empty());
        EXPECT_EQ(newLines().size(), linesBefore);
        EXPECT_EQ(textOf(text.field), tooLong);
        ++boxesBefore;
    }
}

TEST_F(SettersTest, PickedListItemsSendTheirCodes)
{
    holdStartListCodes();
    start();
    int number = 3;
    for (const ListField& list : kListFields)
    {
        SCOPED_TRACE(list.label);
        ASSERT_EQ(selectedPosition(list.list), list.startPosition);
        library().clearCalls();
        select(list.list, list.pickPosition);
        click(list.button);

        EXPECT_EQ(
            library().calls(),
            (std::vector<Call>{{list.setSlot, list.setName, {std::to_string(list.pickCode)}}}));
        EXPECT_EQ(logLines().front(), callLine(number++, list.setName, list.argument,
                                               std::to_string(list.pickCode), 0));
        EXPECT_EQ(selectedPosition(list.list), list.pickPosition);
        EXPECT_EQ(library().state().*list.held, list.pickCode);
    }
}

TEST_F(SettersTest, LastDeviceTypeAndStreamFormatSendSix)
{
    start();
    select(IDC_DEVICETYPE, 5);
    click(IDC_SET_DEVICETYPE);
    select(IDC_STREAMFORMAT, 4);
    click(IDC_SET_STREAMFORMAT);

    EXPECT_EQ(library().calls(),
              (std::vector<Call>{{11, "SetDeviceType", {"6"}}, {194, "SetStreamFormat", {"6"}}}));
    EXPECT_EQ(newLines(), (std::vector<std::string>{
                              "[0004] Call SetStreamFormat(format=6).(return value=0)",
                              "[0003] Call SetDeviceType(type=6).(return value=0)",
                          }));
}

TEST_F(SettersTest, RefusedListSettingShowsTheLibraryItem)
{
    holdStartListCodes();
    start();
    int number = 3;
    for (const ListField& list : kListFields)
    {
        SCOPED_TRACE(list.label);
        library().clearCalls();
        library().setResult(list.setSlot, -1);
        select(list.list, list.pickPosition);
        click(list.button);

        EXPECT_EQ(library().calls(),
                  (std::vector<Call>{{list.setSlot, list.setName, {std::to_string(list.pickCode)}},
                                     {list.getSlot, list.getName, {}}}));
        EXPECT_EQ(selectedPosition(list.list), list.startPosition);
        EXPECT_EQ(logLines().front(), callLine(number++, list.setName, list.argument,
                                               std::to_string(list.pickCode), -1));
    }
}

TEST_F(SettersTest, RefusedListSettingKeepsThePickWhenTheLibraryCodeHasNoItem)
{
    holdStartListCodes();
    start();
    int number = 3;
    for (const ListField& list : kListFields)
    {
        SCOPED_TRACE(list.label);
        library().state().*list.held = list.unknownCode;
        library().setResult(list.setSlot, -3);
        select(list.list, list.pickPosition);
        click(list.button);

        EXPECT_EQ(selectedPosition(list.list), list.pickPosition);
        EXPECT_EQ(logLines().front(), callLine(number++, list.setName, list.argument,
                                               std::to_string(list.pickCode), -3));
    }
}

TEST_F(SettersTest, ListWithoutSelectionIsRefusedBeforeAnyCall)
{
    holdUnknownListCodes();
    start();
    std::size_t boxesBefore = 0;
    for (const ListField& list : kListFields)
    {
        SCOPED_TRACE(list.label);
        ASSERT_EQ(selectedPosition(list.list), -1);
        click(list.button);

        expectRefusedBeforeAnyCall(
            QStringLiteral("Please select %1!").arg(QString::fromLatin1(list.label)),
            boxesBefore++);
    }
}

TEST_F(SettersTest, PropertiesCanBeSetWhileLive)
{
    start();
    click(IDC_START_LIVE);
    ASSERT_EQ(dlg->m_IsLive, 1);
    library().clearCalls();
    const int number = dlg->m_LogCount + 1;

    typeInto(IDC_HTTPPORT, QStringLiteral("8080"));
    click(IDC_SET_HTTPPORT);
    select(IDC_JPEGRESOLUTION, 4);
    click(IDC_SET_JPEGRESOLUTION);

    EXPECT_EQ(library().calls(), (std::vector<Call>{{15, "SetHttpPort", {"8080"}},
                                                    {192, "SetJPEGResolution", {"1280"}}}));
    EXPECT_EQ(logLines().at(1), callLine(number, "SetHttpPort", "port", "8080", 0));
    EXPECT_EQ(logLines().at(0), callLine(number + 1, "SetJPEGResolution", "resolution", "1280", 0));
    EXPECT_EQ(dlg->m_IsLive, 1);
    EXPECT_FALSE(control(IDC_START_LIVE)->isEnabled());
    EXPECT_TRUE(control(IDC_STOP_LIVE)->isEnabled());
}

TEST_F(SettersTest, PortThatIsNoNumberStopsOnlyItsOwnSetButtonAndIsMended)
{
    // What each Set button sends while the port field holds letters; the port's own sends nothing.
    const std::pair<int, const char*> kSent[] = {
        {IDC_SET_IPADDR, "SetIPAddr"},
        {IDC_SET_HTTPPORT, nullptr},
        {IDC_SET_USERNAME, "SetUserName"},
        {IDC_SET_PASSWORD, "SetPassword"},
        {IDC_SET_DEVICETYPE, "SetDeviceType"},
        {IDC_SET_STREAMFORMAT, "SetStreamFormat"},
        {IDC_SET_JPEGRESOLUTION, "SetJPEGResolution"},
        {IDC_SET_MPEG4RESOLUTION, "SetMPEG4Resolution"},
        {IDC_SET_H264RESOLUTION, "SetH264Resolution"},
    };
    start();
    auto* port = qobject_cast<QLineEdit*>(control(IDC_HTTPPORT));
    ASSERT_NE(port, nullptr);
    std::vector<QString> selections;
    QObject::connect(port, &QLineEdit::selectionChanged,
                     [port, &selections] { selections.push_back(port->selectedText()); });
    std::size_t boxesBefore = 0;
    for (const auto& [button, setter] : kSent)
    {
        SCOPED_TRACE(button);
        typeInto(IDC_HTTPPORT, QStringLiteral("abc"));
        typeInto(IDC_USERNAME, QStringLiteral("bob"));
        selections.clear();
        library().clearCalls();
        const std::size_t linesBefore = newLines().size();
        click(button);

        ASSERT_EQ(boxes->boxes().size(), ++boxesBefore) << "one box, for the port only";
        EXPECT_EQ(boxes->texts().back(), QStringLiteral("Please enter a whole number."));
        EXPECT_EQ(dlg->focusWidget(), port);
        EXPECT_NE(std::find(selections.begin(), selections.end(), QStringLiteral("abc")),
                  selections.end());
        EXPECT_EQ(textOf(IDC_HTTPPORT), QStringLiteral("80"));
        EXPECT_EQ(textOf(IDC_USERNAME), QStringLiteral("bob"));
        if (setter == nullptr)
        {
            EXPECT_TRUE(library().calls().empty());
            EXPECT_EQ(newLines().size(), linesBefore);
        }
        else
        {
            ASSERT_FALSE(library().calls().empty());
            EXPECT_EQ(library().calls().front().name, setter);
            EXPECT_EQ(newLines().size(), linesBefore + 1);
        }
    }
    EXPECT_EQ(library().state().userName, "bob");
}
