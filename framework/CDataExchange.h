#pragma once

class CDialog;
class QWidget;

// One run of a dialog's data exchange, in one direction. A read that meets a field it cannot take
// goes on with the other fields and remembers the first such field.
class CDataExchange
{
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate);

    [[nodiscard]] QWidget* PrepareCtrl(int controlId) const;
    void Fail(int controlId);

    [[nodiscard]] bool failed() const { return m_failedControl != 0; }
    [[nodiscard]] int failedControl() const { return m_failedControl; }

    const bool m_bSaveAndValidate;
    CDialog* const m_pDlgWnd;

private:
    int m_failedControl = 0;
};
