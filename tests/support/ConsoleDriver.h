#pragma once

#include "console/CQuillonDlg.h"
#include "res/resource.h"
#include "tests/support/ModalBoxWatcher.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class QWidget;

// Drives a real console window: starts it, finds controls by id, clicks and types like a user,
// and answers every message box through the watcher.
class ConsoleDriver : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the console (its window initialisation included) and shows it.
    void startConsole();

    [[nodiscard]] QWidget* control(int id) const;
    void click(int id);
    void typeInto(int id, const QString& text);
    [[nodiscard]] QString textOf(int id) const;
    void select(int listId, int position);
    [[nodiscard]] int selectedPosition(int listId) const;
    [[nodiscard]] std::vector<QString> itemsOf(int listId) const;
    // The log as the field shows it, one entry per line, newest first.
    [[nodiscard]] std::vector<std::string> logLines() const;
    // Lets queued posts and paints run.
    static void settle();

    std::unique_ptr<CQuillonDlg> dlg;
    std::unique_ptr<ModalBoxWatcher> boxes;
};
