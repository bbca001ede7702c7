// Renders each of the four windows, as created, to a PNG with a plain title bar drawn
// above the client area, so the layouts can be reviewed without a display.
#include "gui/Form1.h"
#include "gui/Form2.h"
#include "gui/Form3.h"
#include "gui/Form4.h"

#include <QApplication>
#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <cstdio>
#include <algorithm>
#include <memory>

static bool Save(QWidget* window, const QString& file)
{
    window->show();
    QCoreApplication::processEvents();
    QPixmap client = window->grab();
    const qreal ratio = client.devicePixelRatio();
    client.setDevicePixelRatio(1);  // composed in device pixels
    const int bar = qRound(22 * ratio);
    QImage image(client.width(), client.height() + bar, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 128));
    QPainter painter(&image);
    painter.setPen(Qt::white);
    QFont font = window->font();
    font.setBold(true);
    font.setPixelSize(qRound(12 * ratio));
    painter.setFont(font);
    painter.drawText(QRect(qRound(6 * ratio), 0, image.width(), bar), Qt::AlignVCenter, window->windowTitle());
    painter.drawPixmap(0, bar, client);
    painter.end();
    window->hide();
    const bool ok = image.save(file);
    std::printf("%s %s (%dx%d client)\n", ok ? "wrote" : "FAILED", qPrintable(file), client.width(), client.height());
    return ok;
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR [TEXT_SCALE]\n", argv[0]);
        return 2;
    }
    // The system's text enlarged, as Windows' "Make text bigger" does: 1.5 for 150 %.
    if (argc > 2) {
        QFont font = QApplication::font();
        font.setPointSizeF(std::max(QFontInfo(font).pointSizeF(), 9.0) * QString::fromLatin1(argv[2]).toDouble());
        QApplication::setFont(font);
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(dir.path());
    bool ok = true;
    auto form1 = std::make_unique<Form1>();
    ok &= Save(form1.get(), dir.filePath("form1-main.png"));
    auto form2 = std::make_unique<Form2>();
    ok &= Save(form2.get(), dir.filePath("form2-folder-picker.png"));
    auto form3 = std::make_unique<Form3>();
    ok &= Save(form3.get(), dir.filePath("form3-settings.png"));
    auto form4 = std::make_unique<Form4>();
    ok &= Save(form4.get(), dir.filePath("form4-update-progress.png"));
    // The progress window as it looks while a new version downloads.
    form4->Label1->setText(QStringLiteral("Nuova versione disponibile. Scaricamento in corso... 100%"));
    ok &= Save(form4.get(), dir.filePath("form4-update-downloading.png"));
    return ok ? 0 : 1;
}
