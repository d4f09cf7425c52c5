#include "framework/MessageBox.h"

#include "framework/CWinApp.h"

#include <QApplication>
#include <QMessageBox>

void AfxMessageBox(const std::string& text, QWidget* parent)
{
    if (parent == nullptr)
    {
        parent = QApplication::activeWindow();
    }
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(AfxGetAppName()),
                    QString::fromStdString(text), QMessageBox::Ok, parent);
    box.exec();
}
