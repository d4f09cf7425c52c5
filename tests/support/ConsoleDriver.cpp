#include "tests/support/ConsoleDriver.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <sstream>

void ConsoleDriver::SetUp()
{
    boxes = std::make_unique<ModalBoxWatcher>();
}

void ConsoleDriver::TearDown()
{
    // Whatever a box said, it looked the same: a warning with OK only, named after the program.
    for (const ModalBoxWatcher::Box& box : boxes->boxes())
    {
        SCOPED_TRACE(box.text.toStdString());
        EXPECT_EQ(box.title, QApplication::applicationName());
        EXPECT_TRUE(box.exclamation);
        EXPECT_TRUE(box.okOnly);
    }
    dlg.reset();
    boxes.reset();
    settle();
}

void ConsoleDriver::startConsole()
{
    dlg = std::make_unique<CQuillonDlg>();
    ASSERT_TRUE(dlg->Create());
    dlg->show();
    dlg->activateWindow();
    // Where the window system activates nothing, the console still works unfocused.
    [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(dlg.get());
    settle();
}

QWidget* ConsoleDriver::control(int id) const
{
    return dlg->GetDlgItem(id).widget();
}

void ConsoleDriver::click(int id)
{
    auto* button = qobject_cast<QPushButton*>(control(id));
    ASSERT_NE(button, nullptr) << "no button " << id;
    QTest::mouseClick(button, Qt::LeftButton);
    settle();
}

void ConsoleDriver::typeInto(int id, const QString& text)
{
    auto* edit = qobject_cast<QLineEdit*>(control(id));
    ASSERT_NE(edit, nullptr) << "no edit field " << id;
    edit->selectAll();
    edit->del();
    QTest::keyClicks(edit, text);
}

QString ConsoleDriver::textOf(int id) const
{
    if (auto* edit = qobject_cast<QLineEdit*>(control(id)))
    {
        return edit->text();
    }
    if (auto* field = qobject_cast<QPlainTextEdit*>(control(id)))
    {
        return field->toPlainText();
    }
    return {};
}

void ConsoleDriver::select(int listId, int position)
{
    auto* list = qobject_cast<QComboBox*>(control(listId));
    ASSERT_NE(list, nullptr);
    list->setCurrentIndex(position);
}

int ConsoleDriver::selectedPosition(int listId) const
{
    auto* list = qobject_cast<QComboBox*>(control(listId));
    return list == nullptr ? -2 : list->currentIndex();
}

std::vector<QString> ConsoleDriver::itemsOf(int listId) const
{
    std::vector<QString> items;
    if (auto* list = qobject_cast<QComboBox*>(control(listId)))
    {
        for (int i = 0; i < list->count(); ++i)
        {
            items.push_back(list->itemText(i));
        }
    }
    return items;
}

std::vector<std::string> ConsoleDriver::logLines() const
{
    std::vector<std::string> lines;
    std::istringstream text(textOf(IDC_LOG).toStdString());
    for (std::string line; std::getline(text, line);)
    {
        lines.push_back(line);
    }
    return lines;
}

void ConsoleDriver::settle()
{
    for (int i = 0; i < 3; ++i)
    {
        QApplication::processEvents();
        QApplication::sendPostedEvents();
    }
}
