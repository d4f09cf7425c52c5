#pragma once

#include <vector>

class CDialog;
class QWidget;

// One run of a dialog's data exchange, in one direction. A read that meets a field it cannot take
// goes on with the other fields and remembers every such field, in exchange order.
class CDataExchange
{
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate);

    [[nodiscard]] QWidget* PrepareCtrl(int controlId) const;
    void Fail(int controlId);

    [[nodiscard]] bool failed() const { return !m_failedControls.empty(); }
    [[nodiscard]] const std::vector<int>& failedControls() const { return m_failedControls; }

    const bool m_bSaveAndValidate;
    CDialog* const m_pDlgWnd;

private:
    std::vector<int> m_failedControls;
};
