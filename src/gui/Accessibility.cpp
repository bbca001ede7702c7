#include "gui/Accessibility.h"
#include "gui/StatusLabel.h"
#include "gui/Window.h"

#include <QAccessibleWidget>

namespace {

// Asks the window each time: an interface made while the window was being built would
// otherwise keep the role of a half-built one.
class WindowAccessible : public QAccessibleWidget {
public:
    explicit WindowAccessible(Window* window) : QAccessibleWidget(window, QAccessible::Window) {}
    QAccessible::Role role() const override { return static_cast<Window*>(widget())->AccessibleRole(); }
};

class StatusAccessible : public QAccessibleWidget {
public:
    explicit StatusAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::StatusBar) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("Window"))
        if (auto* window = qobject_cast<Window*>(object))
            return new WindowAccessible(window);
    if (className == QLatin1String("StatusLabel"))
        if (auto* label = qobject_cast<StatusLabel*>(object))
            return new StatusAccessible(label);
    return nullptr;
}

}  // namespace

void InstallAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    Q_UNUSED(installed);
}
