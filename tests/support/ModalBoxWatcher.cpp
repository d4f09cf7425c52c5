#include "tests/support/ModalBoxWatcher.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

ModalBoxWatcher::ModalBoxWatcher()
{
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &ModalBoxWatcher::poll);
    m_timer.start();
}

void ModalBoxWatcher::whileOpen(std::function<void()> action)
{
    m_whileOpen = std::move(action);
}

std::vector<QString> ModalBoxWatcher::texts() const
{
    std::vector<QString> texts;
    for (const Box& box : m_boxes)
    {
        texts.push_back(box.text);
    }
    return texts;
}

void ModalBoxWatcher::poll()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible())
    {
        return;
    }
    if (m_whileOpen)
    {
        const std::function<void()> action = std::move(m_whileOpen);
        m_whileOpen = nullptr;
        action();
    }
    m_boxes.push_back({box->windowTitle(), box->text(), box->icon() == QMessageBox::Warning,
                       box->standardButtons() == QMessageBox::Ok});
    box->button(QMessageBox::Ok)->click();
}
