#pragma once

#include "framework/WinTypes.h"

#include <memory>

class PostedMessageQueue;

// Maps live window handles to their message queues, so that PostMessage from any thread finds the
// window, or finds that it no longer exists.
class WindowRegistry
{
public:
    static void add(HWND window, std::shared_ptr<PostedMessageQueue> queue);
    static void remove(HWND window);
    static std::shared_ptr<PostedMessageQueue> find(HWND window);
};

// Posts a message to a window's thread without waiting. Safe from any thread; false when the
// window does not exist (any more).
bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
