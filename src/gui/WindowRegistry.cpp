#include "gui/WindowRegistry.h"

WindowRegistry& WindowRegistry::Instance()
{
    static WindowRegistry registry;
    return registry;
}

void WindowRegistry::Register(std::type_index key, Window* window)
{
    windows_[key] = window;
    connect(window, &Window::Unloaded, this, &WindowRegistry::OnUnloaded);
}

int WindowRegistry::LoadedCount() const
{
    int count = 0;
    for (const auto& [key, window] : windows_)
        if (window && !window->IsUnloaded())
            ++count;
    return count;
}

void WindowRegistry::OnUnloaded(Window* window)
{
    for (auto it = windows_.begin(); it != windows_.end(); ++it) {
        if (it->second == window) {
            windows_.erase(it);
            break;
        }
    }
    if (LoadedCount() == 0)
        emit LastWindowUnloaded();
}

void WindowRegistry::UnloadAll()
{
    std::vector<QPointer<Window>> all;
    for (const auto& [key, window] : windows_)
        all.push_back(window);
    for (auto& window : all)
        if (window)
            window->Unload();
}
