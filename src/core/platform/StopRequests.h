#pragma once
#include <QObject>

class QSocketNotifier;

// Requests from outside to end the program: SIGTERM, SIGINT and SIGHUP on Linux (a
// shutdown, Ctrl+C, a closed terminal), Ctrl+C and Ctrl+Break on a Windows console. Heard
// on the thread that made this object, in its event loop; while it lives, none of them
// ends the process by itself. One at a time per process.
class StopRequests : public QObject {
    Q_OBJECT
public:
    explicit StopRequests(QObject* parent = nullptr);
    ~StopRequests() override;

signals:
    void Requested();

private:
    QSocketNotifier* notifier_ = nullptr;
};
