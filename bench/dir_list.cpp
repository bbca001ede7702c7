// The directory list on a folder with thousands of subdirectories: time to open it (list,
// sort, fill, lay out and paint the visible rows) beside `ls -1` listing the same folder,
// and beside the bare directory read, all in the same run.
//
//   bench_dir_list [subdirectories] [runs]
#include "gui/DirListBox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double MedianMs(int runs, const std::function<void()>& step)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        step();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 5000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 9;

    QTemporaryDir scratch;
    QDir root(scratch.path());
    root.mkdir(QStringLiteral("vuota"));
    root.mkdir(QStringLiteral("grande"));
    QDir big(root.filePath(QStringLiteral("grande")));
    for (int i = 0; i < count; ++i)  // mixed case, so the case-blind sort has work to do
        big.mkdir(QStringLiteral("%1artella %2").arg(i % 2 ? 'C' : 'c').arg((i * 7919) % count, 5, 10, QLatin1Char('0')));
    const QString bigPath = big.path();
    const QString emptyPath = root.filePath(QStringLiteral("vuota"));

    DirListBox list;
    list.resize(369, 201);
    list.show();
    QApplication::processEvents();

    const double open = MedianMs(runs, [&] {
        list.SetPath(emptyPath);
        list.SetPath(bigPath);
        QApplication::processEvents();  // the delayed layout
        list.grab();                     // and the paint of the visible rows
    });
    const int shown = list.count();
    const double read = MedianMs(runs, [&] {
        QDir(bigPath).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    });
    const double ls = MedianMs(runs, [&] {
        QProcess process;
        process.start(QStringLiteral("ls"), {QStringLiteral("-1"), bigPath});
        process.waitForFinished();
        process.readAllStandardOutput();
    });

    std::printf("directory list, %d subdirectories (%d entries shown), median of %d:\n", count, shown, runs);
    std::printf("  open in the list    %8.1f ms\n", open);
    std::printf("  ls -1 (peer)        %8.1f ms   list / ls   = %.2f\n", ls, open / ls);
    std::printf("  bare directory read %8.1f ms   list / read = %.2f\n", read, open / read);
    return shown > count ? 0 : 1;
}
