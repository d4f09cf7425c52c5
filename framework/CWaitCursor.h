#pragma once

// Shows the busy cursor over the program's windows for as long as it lives. A handler keeps one
// around a library call that may hold the window's thread (Open waits seconds for a silent
// device), so the user sees that the console is busy rather than hung.
class CWaitCursor
{
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};
