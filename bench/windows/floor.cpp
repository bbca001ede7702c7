// The floor of the Windows start-up benchmark: the least a Qt Widgets program does to
// show a window, linked statically with the same libraries as Morvantil.exe.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(312, 176);
    window.setWindowTitle(QStringLiteral("floor"));
    window.show();
    return app.exec();
}
