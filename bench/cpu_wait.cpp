// Processor time while waiting: one "Trasferimento" run through the main window's button
// against a server that receives at 200 kB/s, so the run lasts about ten seconds; prints
// the program's CPU seconds over wall seconds, and how often its threads went to sleep
// (voluntary context switches), which a timed poll would drive up. For scale, the same
// transfer with a wait that yields without sleeping (processEvents() in a loop) is
// measured in the same run. The socket buffers take in the throttled end of those files,
// and the worker then waits inside libcurl for the server's last reply; so a file larger
// than the buffers also goes to a server that receives at 1 MB/s, which keeps the worker
// in its own wait for the data connection.
//
//   bench_cpu_wait [seconds]
#include "UploadBench.h"
#include "gui/Form1.h"
#include "gui/WindowRegistry.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

struct Share {
    double cpu, wall;
    long sleeps = 0;
};

long Sleeps()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
}

void WriteSettings(const QString& folder, const QString& exportFolder)
{
    QFile path(QDir(folder).filePath("path.dat"));
    path.open(QIODevice::WriteOnly);
    path.write(exportFolder.toUtf8() + "\r\n");
    QFile com(QDir(folder).filePath("com.dat"));
    com.open(QIODevice::WriteOnly);
    com.write("001122\r\n");
}

// One press of "Trasferimento" in a configured program.
Share RunThroughTheWindow(const QString& host, qint64 perFile)
{
    QTemporaryDir work;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(work.path());
    bench::WriteExport(work.filePath("export"), perFile);
    WriteSettings(work.path(), work.filePath("export"));
    // Nothing answers the version check there; the start goes on at once.
    const ServerAddresses servers{host, QStringLiteral("http://127.0.0.1:1"), 60};
    WindowRegistry::Instance().SetFactory<Form1>([servers] { return new Form1(servers); });
    Form1* form = WindowRegistry::Instance().Get<Form1>();
    form->Show();

    const double cpu = bench::CpuSeconds();
    const long sleeps = Sleeps();
    QElapsedTimer clock;
    clock.start();
    form->Command1->click();  // the whole run happens inside the click
    const Share share{bench::CpuSeconds() - cpu, clock.nsecsElapsed() / 1e9, Sleeps() - sleeps};
    if (form->Label1->text() != QStringLiteral("Operazione completata"))
        std::fprintf(stderr, "the run ended with \"%s\"\n", qPrintable(form->Label1->text()));
    WindowRegistry::Instance().UnloadAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QDir::setCurrent(previous);
    return share;
}

// The same transfer with a wait that never sleeps.
Share RunSpinning(const QString& host, const QStringList& files)
{
    Inet inet(nullptr, 60);
    const double cpu = bench::CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    inet.URL(QStringLiteral("ftp://") + host);
    inet.UserName(QStringLiteral("lorvenzab"));
    inet.Password(QStringLiteral("kqz3817t42"));
    const auto spin = [&] {
        while (inet.StillExecuting())
            QCoreApplication::processEvents();
    };
    inet.Execute();
    spin();
    for (int i = 0; i < files.size(); ++i) {
        inet.Execute(QString(), QStringLiteral("PUT %1 spin%2.txt").arg(LocalPart(files[i])).arg(i));
        spin();
    }
    inet.Execute(QString(), QStringLiteral("QUIT"));
    spin();
    return {bench::CpuSeconds() - cpu, clock.nsecsElapsed() / 1e9};
}

// One upload of `file` through the component, the login and QUIT left out.
Share RunLargeFile(const QString& host, const QString& file)
{
    Inet inet(nullptr, 60);
    inet.URL(QStringLiteral("ftp://") + host);
    inet.UserName(QStringLiteral("lorvenzab"));
    inet.Password(QStringLiteral("kqz3817t42"));
    inet.Execute();
    WaitWhileBusy(inet);
    const double cpu = bench::CpuSeconds();
    const long sleeps = Sleeps();
    QElapsedTimer clock;
    clock.start();
    inet.Execute(QString(), QStringLiteral("PUT %1 large.txt").arg(LocalPart(file)));
    WaitWhileBusy(inet);
    const Share share{bench::CpuSeconds() - cpu, clock.nsecsElapsed() / 1e9, Sleeps() - sleeps};
    inet.Execute(QString(), QStringLiteral("QUIT"));
    WaitWhileBusy(inet);
    return share;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
    const qint64 rate = 200000;
    FtpPeer peer({QStringLiteral("--throttle"), QString::number(rate)}, bench::PeerScript());
    if (!peer.Started()) {
        std::fprintf(stderr, "the FTP server did not start\n");
        return 2;
    }
    // The server lets the first two seconds' worth of each file through at full speed.
    const qint64 perFile = qint64((seconds / 5 + 2) * rate);

    QTemporaryDir spinFolder;
    const QStringList spinFiles = bench::WriteExport(spinFolder.path(), perFile);
    const Share spinning = RunSpinning(peer.Host(), spinFiles);

    const Share waiting = RunThroughTheWindow(peer.Host(), perFile);

    const qint64 largeRate = 1000000;
    FtpPeer slowPeer({QStringLiteral("--throttle"), QString::number(largeRate)}, bench::PeerScript());
    QTemporaryDir largeFolder;
    const QString large = bench::WriteExport(largeFolder.path(), qint64(seconds * largeRate)).first();
    const Share largeWait = RunLargeFile(slowPeer.Host(), large);

    std::printf("upload run throttled to %.1f s: %.0f ms CPU over %.1f s wall = %.2f %% (target < 1 %%), "
                "%.0f sleeps a second\n",
                waiting.wall, waiting.cpu * 1000, waiting.wall, 100 * waiting.cpu / waiting.wall,
                waiting.sleeps / waiting.wall);
    std::printf("one file of %.0f MB at 1 MB/s: %.0f ms CPU over %.1f s wall = %.2f %% (target < 1 %%), "
                "%.0f sleeps a second\n",
                seconds, largeWait.cpu * 1000, largeWait.wall, 100 * largeWait.cpu / largeWait.wall,
                largeWait.sleeps / largeWait.wall);
    std::printf("the same with a wait that never sleeps: %.2f CPU s over %.1f s wall = %.1f %%\n",
                spinning.cpu, spinning.wall, 100 * spinning.cpu / spinning.wall);
    return 0;
}
