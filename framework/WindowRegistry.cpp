#include "framework/WindowRegistry.h"

#include "framework/PostedMessageQueue.h"

#include <mutex>
#include <unordered_map>
#include <utility>

namespace
{
std::mutex& registryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::unordered_map<HWND, std::shared_ptr<PostedMessageQueue>>& windows()
{
    // Never destroyed: library threads may still post while the process exits.
    static auto* map = new std::unordered_map<HWND, std::shared_ptr<PostedMessageQueue>>();
    return *map;
}
} // namespace

void WindowRegistry::add(HWND window, std::shared_ptr<PostedMessageQueue> queue)
{
    const std::lock_guard lock(registryMutex());
    windows()[window] = std::move(queue);
}

void WindowRegistry::remove(HWND window)
{
    const std::lock_guard lock(registryMutex());
    windows().erase(window);
}

std::shared_ptr<PostedMessageQueue> WindowRegistry::find(HWND window)
{
    const std::lock_guard lock(registryMutex());
    const auto it = windows().find(window);
    return it == windows().end() ? nullptr : it->second;
}

bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window == 0)
    {
        return false;
    }
    const std::shared_ptr<PostedMessageQueue> queue = WindowRegistry::find(window);
    return queue && queue->post({message, wParam, lParam});
}
