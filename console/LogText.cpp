#include "console/LogText.h"

#include "console/LogView.h"
#include "framework/CDataExchange.h"

#include <QPlainTextEdit>

LogText::LogText() = default;

LogText::~LogText() = default;

void LogText::prepend(std::string_view line)
{
    std::string waiting;
    waiting.reserve(line.size() + 2 + m_waiting.size());
    waiting.append(line).append("\r\n").append(m_waiting);
    m_waiting = std::move(waiting);
}

std::string LogText::str() const
{
    return m_view ? m_waiting + m_view->text() : m_waiting;
}

void LogText::exchange(CDataExchange* pDX, int controlId)
{
    if (!m_view)
    {
        auto* field = qobject_cast<QPlainTextEdit*>(pDX->PrepareCtrl(controlId));
        if (field == nullptr)
        {
            return;
        }
        m_view = std::make_unique<LogView>(field);
        // The field starts out holding the text the value had before it was first exchanged.
        if (!pDX->m_bSaveAndValidate)
        {
            m_view->replaceAll(m_waiting);
            m_waiting.clear();
            return;
        }
    }
    if (pDX->m_bSaveAndValidate)
    {
        // The field is the log as the user left it; lines not yet written are dropped with the
        // old value, as any read replaces its value.
        m_waiting.clear();
        m_view->markRead();
    }
    else if (!m_waiting.empty())
    {
        m_view->insertTop(m_waiting);
        m_waiting.clear();
    }
}

void DDX_Text(CDataExchange* pDX, int controlId, LogText& value)
{
    value.exchange(pDX, controlId);
}
