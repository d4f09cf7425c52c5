#include "console/LogView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <cstdio>
#include <memory>
#include <string>

namespace
{
std::string logLine(int number)
{
    char line[80];
    std::snprintf(line, sizeof line, "[%04d] Call PlayLive(channel=1,mode=%d).(return value=0)\r\n",
                  number, number % 3);
    return line;
}

class LogViewTest : public ::testing::Test
{
protected:
    LogViewTest()
    {
        m_field.setLineWrapMode(QPlainTextEdit::NoWrap);
        m_field.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m_field.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m_field.resize(400, 300);
        m_field.show();
    }

    // Adds lines 1..count one insertTop() each and returns the text they should make.
    std::string addOneByOne(int count, int first = 1)
    {
        std::string expected;
        for (int number = first; number < first + count; ++number)
        {
            m_view.insertTop(logLine(number));
            expected.insert(0, logLine(number));
        }
        return expected;
    }

    void typeAtEnd(const QString& typed)
    {
        QTextCursor cursor = m_field.textCursor();
        cursor.movePosition(QTextCursor::End);
        m_field.setTextCursor(cursor);
        QTest::keyClicks(&m_field, typed);
    }

    [[nodiscard]] int topShownBlock() const
    {
        return m_field.cursorForPosition({4, 4}).blockNumber();
    }

    QPlainTextEdit m_field;
    LogView m_view{&m_field};
};

// Counts the queued calls that the event loop delivers anywhere in the application.
class QueuedCallCounter : public QObject
{
public:
    QueuedCallCounter() { QApplication::instance()->installEventFilter(this); }
    ~QueuedCallCounter() override { QApplication::instance()->removeEventFilter(this); }
    QueuedCallCounter(const QueuedCallCounter&) = delete;
    QueuedCallCounter& operator=(const QueuedCallCounter&) = delete;

    int count = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        count += event->type() == QEvent::MetaCall ? 1 : 0;
        return false;
    }
};

// --- The text as the caller sees it ---------------------------------------------------------

TEST_F(LogViewTest, EmptyFieldHasNoText)
{
    EXPECT_EQ(m_view.text(), "");
}

TEST_F(LogViewTest, LinesComeBackWithTheirLineEnds)
{
    m_view.insertTop("[0001] first\r\n");
    EXPECT_EQ(m_view.text(), "[0001] first\r\n");
    EXPECT_EQ(m_field.toPlainText(), QStringLiteral("[0001] first\n"));
    EXPECT_EQ(m_field.document()->blockCount(), 2);
}

TEST_F(LogViewTest, LineBreaksInsideALineBecomeLinesOfTheirOwn)
{
    m_view.insertTop("[0001] a\r\nb\nc\rd\r\n");
    EXPECT_EQ(m_view.text(), "[0001] a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(m_field.document()->blockCount(), 5);
}

TEST_F(LogViewTest, FormatDirectivesAndOtherScriptsAreKeptAsTheyAre)
{
    const std::string line = "[0001] %s %d %n %% K\xc3\xa4nal \xe2\x82\xac \xe6\x97\xa5\xe6\x9c\xac"
                             " \xc2\xa0nbsp\r\n";
    m_view.insertTop(line);
    EXPECT_EQ(m_view.text(), line);
}

TEST_F(LogViewTest, ALineWithoutItsLineEndStaysALineOfItsOwn)
{
    m_view.insertTop("[0001] older\r\n");
    m_view.insertTop("[0002] newer");
    EXPECT_EQ(m_view.text(), "[0002] newer\r\n[0001] older\r\n");
}

TEST_F(LogViewTest, ReplaceAllSetsTheWholeText)
{
    addOneByOne(5);
    m_view.replaceAll("[0009] x\r\n[0008] y\r\n");
    EXPECT_EQ(m_view.text(), "[0009] x\r\n[0008] y\r\n");
    m_view.insertTop("[0010] z\r\n");
    EXPECT_EQ(m_view.text(), "[0010] z\r\n[0009] x\r\n[0008] y\r\n");
}

TEST_F(LogViewTest, ReplaceAllEndsAnUnfinishedLastLineAndEmptiesOnEmptyText)
{
    m_view.replaceAll("a\r\nb");
    EXPECT_EQ(m_view.text(), "a\r\nb\r\n");
    m_view.replaceAll("");
    EXPECT_EQ(m_view.text(), "");
}

// --- Order of many insertions -----------------------------------------------------------------

TEST_F(LogViewTest, ThousandsOfSingleInsertionsKeepNewestFirst)
{
    const std::string expected = addOneByOne(2500);
    EXPECT_EQ(m_view.text(), expected);
    EXPECT_EQ(m_field.document()->blockCount(), 2501);
}

TEST_F(LogViewTest, BatchesOfEverySizeKeepNewestFirst)
{
    std::string expected;
    int number = 0;
    for (int batchSize : {1, 7, 999, 1, 1500, 3, 2200, 1})
    {
        std::string batch;
        for (int i = 0; i < batchSize; ++i)
        {
            batch.insert(0, logLine(++number));
        }
        m_view.insertTop(batch);
        expected.insert(0, batch);
        ASSERT_EQ(m_view.text(), expected) << "after " << number << " lines";
    }
}

// A burst of posted lines is written line by line without a return to the event loop, so whatever
// each line leaves queued waits, with its memory, until the whole burst is in.
TEST_F(LogViewTest, LinesAddedInOneGoLeaveNoQueuedWorkPerLine)
{
    addOneByOne(100);
    QApplication::sendPostedEvents();
    const QueuedCallCounter queued;
    addOneByOne(2000, 101);
    QApplication::sendPostedEvents();
    EXPECT_LT(queued.count, 10);
}

// --- The user's edits ----------------------------------------------------------------------------

TEST_F(LogViewTest, OnlyTheUsersChangesCountAsEdits)
{
    EXPECT_FALSE(m_view.userEdited());
    addOneByOne(1200);
    m_view.replaceAll("[0001] a\r\n");
    EXPECT_FALSE(m_view.userEdited());

    typeAtEnd(QStringLiteral("note"));
    EXPECT_TRUE(m_view.userEdited());
    EXPECT_EQ(m_view.text(), "[0001] a\r\nnote\r\n");
}

TEST_F(LogViewTest, EditsAreForgottenOnceReadOrOverwritten)
{
    m_view.insertTop(logLine(1));
    typeAtEnd(QStringLiteral("x"));
    m_view.markRead();
    EXPECT_FALSE(m_view.userEdited());

    typeAtEnd(QStringLiteral("y"));
    m_view.insertTop(logLine(2));
    EXPECT_FALSE(m_view.userEdited());

    typeAtEnd(QStringLiteral("z"));
    m_view.replaceAll("a\r\n");
    EXPECT_FALSE(m_view.userEdited());
}

TEST_F(LogViewTest, PasteAndCutCountAsEdits)
{
    m_view.insertTop(logLine(1));
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    typeAtEnd({});
    m_field.paste();
    EXPECT_TRUE(m_view.userEdited());
    EXPECT_EQ(m_view.text(), logLine(1) + "pasted\r\n");

    m_view.markRead();
    m_field.selectAll();
    m_field.cut();
    EXPECT_TRUE(m_view.userEdited());
    EXPECT_EQ(m_view.text(), "");
}

TEST_F(LogViewTest, TypedTextStaysBelowNewLines)
{
    const std::string older = addOneByOne(3);
    typeAtEnd(QStringLiteral("my note"));
    const std::string newer = addOneByOne(1500, 4);
    EXPECT_EQ(m_view.text(), newer + older + "my note\r\n");
}

TEST_F(LogViewTest, TheUsersSelectionStaysOnItsText)
{
    addOneByOne(10);
    QTextCursor selection(m_field.document()->findBlockByNumber(2));
    selection.movePosition(QTextCursor::NextWord, QTextCursor::MoveAnchor, 2);
    selection.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
    m_field.setTextCursor(selection);
    const QString selected = m_field.textCursor().selectedText();
    const QString line = m_field.textCursor().block().text();

    addOneByOne(2100, 11);
    EXPECT_EQ(m_field.textCursor().selectedText(), selected);
    EXPECT_EQ(m_field.textCursor().block().text(), line);
}

TEST_F(LogViewTest, DroppingPaintedLayoutsKeepsTextSelectionAndEditState)
{
    std::string expected = addOneByOne(10);
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_field.updatesEnabled(); }));
    QTextCursor selection(m_field.document()->findBlockByNumber(2));
    selection.movePosition(QTextCursor::NextWord, QTextCursor::MoveAnchor, 2);
    selection.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
    m_field.setTextCursor(selection);
    const QString selected = m_field.textCursor().selectedText();
    const int selectionStart = m_field.textCursor().selectionStart();
    const std::size_t olderSize = expected.size();

    // Each round is painted before the next one comes, so painted rows pile up below the top.
    int number = 10;
    for (int round = 0; round < 60; ++round)
    {
        expected.insert(0, addOneByOne(30, number + 1));
        number += 30;
        ASSERT_TRUE(QTest::qWaitFor([this] { return m_field.updatesEnabled(); }));
    }
    EXPECT_EQ(m_view.text(), expected);
    EXPECT_EQ(m_field.textCursor().selectedText(), selected);
    // Each new line moved it down by its length, "\r\n" counting as one separator.
    const int newLines = number - 10;
    EXPECT_EQ(m_field.textCursor().selectionStart(),
              selectionStart + static_cast<int>(expected.size() - olderSize) - newLines);
    EXPECT_FALSE(m_view.userEdited());
}

// --- What the field shows ------------------------------------------------------------------------

TEST_F(LogViewTest, NewLinesAreShownAtTheTop)
{
    addOneByOne(300);
    QScrollBar* scroll = m_field.verticalScrollBar();
    ASSERT_GT(scroll->maximum(), 0);
    scroll->setValue(scroll->maximum());
    ASSERT_NE(topShownBlock(), 0);

    m_view.insertTop(logLine(301));
    EXPECT_EQ(scroll->value(), 0);
    EXPECT_EQ(topShownBlock(), 0);

    scroll->setValue(scroll->maximum() / 2);
    m_view.replaceAll("a\r\nb\r\n");
    EXPECT_EQ(scroll->value(), 0);
}

TEST_F(LogViewTest, HeldBackRepaintsAreReleased)
{
    addOneByOne(50);
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_field.updatesEnabled(); }));
}

TEST(LogViewLifetime, OutlivingTheFieldIsHarmless)
{
    auto field = std::make_unique<QPlainTextEdit>();
    LogView view(field.get());
    view.insertTop("[0001] a\r\n");
    field.reset();
    view.insertTop("[0002] b\r\n");
    view.replaceAll("c\r\n");
    EXPECT_EQ(view.text(), "");
    EXPECT_FALSE(view.userEdited());
}

TEST(LogViewLifetime, TheFieldOutlivesItsView)
{
    QPlainTextEdit field;
    {
        LogView view(&field);
        view.insertTop("[0001] a\r\n");
    }
    field.appendPlainText(QStringLiteral("typed later"));
    EXPECT_TRUE(field.updatesEnabled());
    EXPECT_EQ(field.toPlainText(), QStringLiteral("[0001] a\n\ntyped later"));
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
