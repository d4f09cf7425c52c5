#pragma once

#include <string>

class QWidget;

// The application object. Exactly one exists, normally a global constructed before main(); the
// framework's main routine (RunWinApp) calls its InitInstance once the toolkit is up.
class CWinApp
{
public:
    // With no name, the application takes the program file's name without its extension.
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // False ends the program without running a message loop.
    virtual bool InitInstance();
    virtual int ExitInstance();

    // Names the settings store (its organisation). The application reads and writes nothing
    // there unless it asks for settings itself.
    void SetRegistryKey(const char* key);

    [[nodiscard]] const std::string& appName() const { return m_appName; }

    QWidget* m_pMainWnd = nullptr;

private:
    friend int RunWinApp(int argc, char** argv);
    void takeNameFromProgram(const char* programPath);

    std::string m_appName;
};

CWinApp* AfxGetApp();
// The application's name, as message boxes show it.
std::string AfxGetAppName();

// The framework's main routine: starts the toolkit, runs the application object's InitInstance,
// then its message loop unless InitInstance returned false, and ends with ExitInstance.
int RunWinApp(int argc, char** argv);
