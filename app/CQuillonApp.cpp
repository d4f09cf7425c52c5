#include "app/CQuillonApp.h"

#include "console/CQuillonDlg.h"
#include "res/version.h"

#include <QCoreApplication>

CQuillonApp theApp;

bool CQuillonApp::InitInstance()
{
    CWinApp::InitInstance();
    // Named as the framework names its settings; the console stores nothing there.
    SetRegistryKey("Local AppWizard-Generated Applications");
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kFileVersion));

    CQuillonDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    // No message loop follows the console.
    return false;
}
