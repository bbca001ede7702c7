// Start-up: time from process start to the first window shown, and peak memory, for
// Morvantil's start-up and for a minimal Qt Widgets program (the floor), in the same run.
//
//   bench_startup [runs]            measures and prints both, and their ratios
//   bench_startup --child KIND ...  one start, printing "shown <peak RSS KiB>"
#include "gui/Form1.h"
#include "gui/WindowRegistry.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

long PeakRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Reports the first time the window is on screen, then ends the process.
class ShownReporter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Expose || event->type() == QEvent::Show) {
            std::printf("shown %ld\n", PeakRssKiB());
            std::fflush(stdout);
            std::_Exit(0);
        }
        return false;
    }
};

int Child(int argc, char* argv[], const QString& kind, const QString& updateUrl)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ShownReporter reporter;
    if (kind == "floor") {
        auto* window = new QWidget;
        window->resize(312, 176);
        window->setWindowTitle("floor");
        window->installEventFilter(&reporter);
        window->show();
    } else {
        // The same steps as the program's main().
        WindowRegistry& windows = WindowRegistry::Instance();
        const ServerAddresses servers{QStringLiteral("127.0.0.1:9"), updateUrl};
        windows.SetFactory<Form1>([servers, &reporter] {
            auto* form = new Form1(servers);
            form->installEventFilter(&reporter);
            return form;
        });
        windows.Start<Form1>();
    }
    return app.exec();
}

struct Sample {
    double ms;
    long rssKiB;
};

Sample RunChild(const QString& self, const QStringList& arguments, const QString& workDir)
{
    QProcess child;
    child.setWorkingDirectory(workDir);
    QElapsedTimer timer;
    timer.start();
    child.start(self, arguments);
    child.waitForReadyRead(30000);
    const QByteArray line = child.readLine();
    const double ms = timer.nsecsElapsed() / 1e6;
    child.waitForFinished(5000);
    if (!line.startsWith("shown ")) {
        std::fprintf(stderr, "child %s did not show a window: %s\n", qPrintable(arguments.join(' ')),
                     child.readAllStandardError().constData());
        std::exit(1);
    }
    return {ms, line.mid(6).trimmed().toLong()};
}

Sample Median(QList<Sample> samples)
{
    std::sort(samples.begin(), samples.end(), [](auto a, auto b) { return a.ms < b.ms; });
    const double ms = samples[samples.size() / 2].ms;
    std::sort(samples.begin(), samples.end(), [](auto a, auto b) { return a.rssKiB < b.rssKiB; });
    return {ms, samples[samples.size() / 2].rssKiB};
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc >= 3 && QByteArray(argv[1]) == "--child")
        return Child(argc, argv, QString::fromLatin1(argv[2]), argc >= 4 ? QString::fromLatin1(argv[3]) : QString());

    const int runs = argc >= 2 ? std::max(3, std::atoi(argv[1])) : 15;
    QCoreApplication app(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    // A configured working directory, so the start ends on the main window.
    QTemporaryDir work;
    for (const auto& [name, value] : {std::pair{"path.dat", "/srv/export\r\n"}, std::pair{"com.dat", "016024\r\n"}}) {
        QFile f(work.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(value);
    }
    // With a service address, the start whose version check that service answers is
    // measured too; without one, the check fails at once and costs next to nothing.
    const QString updateUrl = qEnvironmentVariable("MORVANTIL_BENCH_UPDATE_URL");
    QList<Sample> floor, morvantil, checked;
    for (int i = 0; i < runs; ++i) {  // interleaved, so drifts hit all alike
        floor << RunChild(self, {"--child", "floor"}, work.path());
        morvantil << RunChild(self, {"--child", "morvantil", QString()}, work.path());
        if (!updateUrl.isEmpty())
            checked << RunChild(self, {"--child", "morvantil", updateUrl}, work.path());
    }
    const Sample f = Median(floor), m = Median(morvantil);
    std::printf("startup (median of %d runs, QT_QPA_PLATFORM=%s)\n", runs, qPrintable(qEnvironmentVariable("QT_QPA_PLATFORM")));
    std::printf("  minimal Qt program : %7.1f ms  %7ld KiB peak RSS\n", f.ms, f.rssKiB);
    std::printf("  morvantil          : %7.1f ms  %7ld KiB peak RSS\n", m.ms, m.rssKiB);
    std::printf("  ratio              : %7.2f x time  %5.2f x memory   (target: within 1.5)\n",
                m.ms / f.ms, double(m.rssKiB) / f.rssKiB);
    if (!checked.isEmpty()) {
        const Sample c = Median(checked);
        std::printf("  morvantil, version check answered by %s\n", qPrintable(updateUrl));
        std::printf("                     : %7.1f ms  %7ld KiB peak RSS\n", c.ms, c.rssKiB);
        std::printf("  the check adds     : %7.1f ms   (target: under 50 ms)\n", c.ms - m.ms);
    }
    return 0;
}
