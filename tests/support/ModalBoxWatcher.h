#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

// Answers every modal message box that opens while it lives, the way a user would (OK), and keeps
// what each box said. An optional action runs while a box is open, before it is answered.
class ModalBoxWatcher : public QObject
{
public:
    struct Box
    {
        QString title;
        QString text;
        bool exclamation;
        bool okOnly;
    };

    ModalBoxWatcher();
    // Runs once, inside the next box's own message loop.
    void whileOpen(std::function<void()> action);

    [[nodiscard]] const std::vector<Box>& boxes() const { return m_boxes; }
    [[nodiscard]] std::vector<QString> texts() const;

private:
    void poll();

    QTimer m_timer;
    std::vector<Box> m_boxes;
    std::function<void()> m_whileOpen;
};
