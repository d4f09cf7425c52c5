#include "framework/DataExchange.h"

#include "framework/CDataExchange.h"
#include "framework/CWnd.h"
#include "framework/WholeNumber.h"

#include <QLineEdit>
#include <QPlainTextEdit>

std::string GetControlText(const QWidget* control)
{
    if (const auto* edit = qobject_cast<const QLineEdit*>(control))
    {
        return edit->text().toStdString();
    }
    if (const auto* field = qobject_cast<const QPlainTextEdit*>(control))
    {
        QString text = field->toPlainText();
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        return text.toStdString();
    }
    return control == nullptr ? std::string() : control->windowTitle().toStdString();
}

void SetControlText(QWidget* control, const std::string& text)
{
    const QString value = QString::fromStdString(text);
    if (auto* edit = qobject_cast<QLineEdit*>(control))
    {
        if (edit->text() != value)
        {
            edit->setText(value);
            edit->home(false); // a long text shows its beginning, as after typing Home
        }
    }
    else if (auto* field = qobject_cast<QPlainTextEdit*>(control))
    {
        field->setPlainText(value);
    }
    else if (control != nullptr)
    {
        control->setWindowTitle(value);
    }
}

void DDX_Control(CDataExchange* pDX, int controlId, CWnd& control)
{
    if (!control.IsAttached())
    {
        control.Attach(pDX->PrepareCtrl(controlId));
    }
}

void DDX_Text(CDataExchange* pDX, int controlId, std::string& value)
{
    QWidget* control = pDX->PrepareCtrl(controlId);
    if (pDX->m_bSaveAndValidate)
    {
        value = GetControlText(control);
    }
    else
    {
        SetControlText(control, value);
    }
}

void DDX_Text(CDataExchange* pDX, int controlId, int32_t& value)
{
    QWidget* control = pDX->PrepareCtrl(controlId);
    if (pDX->m_bSaveAndValidate)
    {
        if (const std::optional<int32_t> number = ParseWholeNumber(GetControlText(control)))
        {
            value = *number;
        }
        else
        {
            pDX->Fail(controlId);
        }
    }
    else
    {
        SetControlText(control, std::to_string(value));
    }
}
