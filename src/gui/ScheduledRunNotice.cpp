#include "gui/ScheduledRunNotice.h"
#include "core/schedule/LastScheduledRun.h"
#include "gui/MessageBox.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace {

// Waits for the window's first showing, then tells from the event loop, so that the box
// stands over a window already drawn.
class NoticeOnShow : public QObject {
public:
    explicit NoticeOnShow(QWidget* window, const LastScheduledRun& run) : QObject(window), run_(run) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            watched->removeEventFilter(this);
            QMetaObject::invokeMethod(this, &NoticeOnShow::Tell, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void Tell()
    {
        // Said once, even if the box never gets its answer (the PC shut down meanwhile).
        run_.noticeShown = true;
        run_.Save();
        MsgBox(run_.FailureNotice(), MbOkStop);
        deleteLater();
    }

    LastScheduledRun run_;
};

}  // namespace

void TellOfFailedScheduledRun(QWidget* mainWindow)
{
    const std::optional<LastScheduledRun> run = LastScheduledRun::Load();
    if (!run || run->result != LastScheduledRun::Result::Failed || run->noticeShown)
        return;
    mainWindow->installEventFilter(new NoticeOnShow(mainWindow, *run));
}
