#include "framework/CWinApp.h"

#include "framework/Platform.h"

#include <QApplication>
#include <QFileInfo>

namespace
{
CWinApp* g_app = nullptr;
} // namespace

CWinApp::CWinApp(const char* appName)
{
    if (appName != nullptr)
    {
        m_appName = appName;
    }
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
    {
        g_app = nullptr;
    }
}

bool CWinApp::InitInstance()
{
    return true;
}

int CWinApp::ExitInstance()
{
    return 0;
}

void CWinApp::SetRegistryKey(const char* key)
{
    QCoreApplication::setOrganizationName(QString::fromUtf8(key));
}

void CWinApp::takeNameFromProgram(const char* programPath)
{
    if (m_appName.empty() && programPath != nullptr)
    {
        m_appName = QFileInfo(QString::fromLocal8Bit(programPath)).completeBaseName().toStdString();
    }
}

CWinApp* AfxGetApp()
{
    return g_app;
}

std::string AfxGetAppName()
{
    if (g_app != nullptr && !g_app->appName().empty())
    {
        return g_app->appName();
    }
    return QCoreApplication::applicationName().toStdString();
}

int RunWinApp(int argc, char** argv)
{
    choosePlatformPlugin();
    QApplication application(argc, argv);
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
    {
        return 1;
    }
    app->takeNameFromProgram(argc > 0 ? argv[0] : nullptr);
    QCoreApplication::setApplicationName(QString::fromStdString(app->appName()));
    if (!app->InitInstance())
    {
        return app->ExitInstance();
    }
    QApplication::exec();
    return app->ExitInstance();
}
