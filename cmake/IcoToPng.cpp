// Build helper: writes the program's icon file as the PNG that Linux desktops look up.
// Qt's own ICO reader decodes it, so the desktop shows exactly the window's icon.
#include <QCoreApplication>
#include <QImage>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <icon.ico> <size> <out.png>\n", argv[0]);
        return 2;
    }
    const QImage icon(QString::fromLocal8Bit(argv[1]));
    const int size = QByteArray(argv[2]).toInt();
    if (icon.isNull() || icon.width() != size || icon.height() != size) {
        std::fprintf(stderr, "%s: not a %dx%d icon\n", argv[1], size, size);
        return 1;
    }
    if (!icon.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
