#pragma once
#include "gui/Window.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <typeindex>

// The program's windows, one instance of each kind at a time. A window is loaded when
// first asked for; the program ends when none is loaded (a hidden window counts).
class WindowRegistry : public QObject {
    Q_OBJECT
public:
    static WindowRegistry& Instance();

    // The loaded window of that kind, loading it (and running its load step) if needed.
    template <class T> T* Get()
    {
        const std::type_index key(typeid(T));
        if (auto found = windows_.find(key); found != windows_.end() && found->second)
            return static_cast<T*>(found->second.data());
        auto factory = factories_.find(key);
        T* window = factory != factories_.end() ? static_cast<T*>(factory->second()) : new T();
        Register(key, window);
        window->RunLoad();
        return window;
    }

    // Loads the program's start-up window and shows it, unless its load step sent the
    // operator to another window or closed it.
    template <class T> T* Start()
    {
        T* window = Get<T>();
        if (!window->IsUnloaded() && !window->HiddenDuringLoad())
            window->Show();
        return window;
    }

    // The window of that kind if it is loaded, without loading it.
    template <class T> T* Loaded() const
    {
        auto found = windows_.find(std::type_index(typeid(T)));
        return found != windows_.end() ? static_cast<T*>(found->second.data()) : nullptr;
    }

    // How a kind of window is created (tests give the main window their own servers).
    template <class T> void SetFactory(std::function<T*()> factory)
    {
        factories_[std::type_index(typeid(T))] = [factory] { return static_cast<Window*>(factory()); };
    }

    int LoadedCount() const;
    // Unloads every window at once: for tests, and when the system asks the program to end.
    void UnloadAll();
    void ClearFactories() { factories_.clear(); }

signals:
    // The last loaded window has been unloaded: the program ends.
    void LastWindowUnloaded();

private:
    void Register(std::type_index key, Window* window);
    void OnUnloaded(Window* window);

    std::map<std::type_index, QPointer<Window>> windows_;
    std::map<std::type_index, std::function<Window*()>> factories_;
};
