// At 120 dpi (a 1.25 scale) every twip value maps to 1.25 times its 96-dpi pixels.
#include "gui/Form1.h"
#include "gui/Form4.h"
#include "support/WindowTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <memory>

class TestLayoutScaled : public QObject {
    Q_OBJECT
private slots:
    void mainWindowAtOneAndAQuarter()
    {
        auto form = std::make_unique<Form1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(form->devicePixelRatioF(), 1.25);
        QCOMPARE(form->size() * form->devicePixelRatioF(), QSize(390, 220));
        const QImage shot = form->grab().toImage();
        QCOMPARE(shot.size(), QSize(390, 220));
        // The status bar starts at 74 px (92.5 device pixels) and is navy.
        QCOMPARE(shot.pixelColor(200, 100), QColor(0, 0, 128));
        QCOMPARE(form->Command1->geometry(), QRect(5, 113, 93, 28));
    }
};

int main(int argc, char* argv[])
{
    qputenv("QT_SCALE_FACTOR", "1.25");
    QApplication app(argc, argv);
    TestLayoutScaled test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_layout_scaled.moc"
