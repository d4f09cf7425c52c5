#include "framework/CDataExchange.h"

#include "framework/CDialog.h"

CDataExchange::CDataExchange(CDialog* dialog, bool saveAndValidate)
    : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog)
{
}

QWidget* CDataExchange::PrepareCtrl(int controlId) const
{
    return m_pDlgWnd->GetDlgItem(controlId).widget();
}

void CDataExchange::Fail(int controlId)
{
    m_failedControls.push_back(controlId);
}
