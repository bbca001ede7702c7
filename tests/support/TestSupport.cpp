#include "support/TestSupport.h"
#include "platform/WindowRegistry.h"

#include <QApplication>
#include <QFile>
#include <QAbstractButton>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QtTest>

ScratchDir::ScratchDir() : previous_(QDir::currentPath())
{
    QDir::setCurrent(dir_.path());
}

ScratchDir::~ScratchDir()
{
    QDir::setCurrent(previous_);
}

void ScratchDir::write(const QString& name, const QByteArray& bytes) const
{
    QFile f(file(name));
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(name));
    f.write(bytes);
}

QByteArray ScratchDir::read(const QString& name) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

void ResetWindows()
{
    WindowRegistry::Instance().UnloadAll();
    WindowRegistry::Instance().ClearFactories();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct MessageBoxWatcher::State {
    QTimer timer;
    QList<SeenMessageBox> seen;
};

MessageBoxWatcher::MessageBoxWatcher() : state_(new State)
{
    // Polls for the modal box: it runs its own event loop, in which this timer fires.
    QObject::connect(&state_->timer, &QTimer::timeout, [this] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible())
                continue;
            state_->seen.append({box->text(), box->windowTitle(),
                                 box->icon() == QMessageBox::Critical,
                                 box->icon() != QMessageBox::NoIcon});
            box->button(QMessageBox::Ok)->click();
        }
    });
    state_->timer.start(10);
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    delete state_;
}

const QList<SeenMessageBox>& MessageBoxWatcher::seen() const
{
    return state_->seen;
}

int RunProgram(const QString& program, const QStringList& arguments, QByteArray* out, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (out)
        *out = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
