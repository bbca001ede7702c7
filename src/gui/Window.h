#pragma once
#include <QAccessible>
#include <QWidget>

// A top-level window with the lifetime the program's windows have: created and loaded
// when first needed, hidden while keeping its contents, destroyed when unloaded.
class Window : public QWidget {
    Q_OBJECT
public:
    explicit Window(QWidget* parent = nullptr);

    void Show();    // modeless, without owner
    void Hide();    // stays loaded with its contents
    void Unload();  // destroyed; the next use loads it anew

    bool IsUnloaded() const { return unloaded_; }
    // True once Hide() ran during the load step, so the start-up does not show it.
    bool HiddenDuringLoad() const { return hiddenDuringLoad_; }

    // Run by the registry once, before the window is first shown.
    void RunLoad();

    // What screen readers call the window; its caption is its name.
    virtual QAccessible::Role AccessibleRole() const { return QAccessible::Window; }

signals:
    void Unloaded(Window* window);

protected:
    virtual void Load() {}
    // What a close request from the title bar does; by default it unloads the window.
    virtual void TitleBarClose() { Unload(); }
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    // Enter presses the focused button; Escape does EscapeKey().
    void keyPressEvent(QKeyEvent* event) override;
    // What Escape does: by default nothing.
    virtual void EscapeKey() {}

    // Client area in twips, as the layouts give it.
    void SetClientSizeTwips(int width, int height);

private:
    bool loading_ = false;
    bool hiddenDuringLoad_ = false;
    bool unloaded_ = false;
};
