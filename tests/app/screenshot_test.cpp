// The real window on an X server (Xvfb): shown, grabbed from the screen and saved as a picture
// for people to look at (VISTREL_SCREENSHOT names the file).
#include "app/panel.h"
#include "app/unit1.h"
#include "tests/support/messagerecorder.h"

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTest>

class ScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void windowOnScreen() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        vistrel::test::MessageRecorder recorder;
        vistrel::app::TForm1 form;
        form.appendProcessLog("Trigger não encontrada; TRG_CLIENTES_BI");
        form.appendProcessLog("-------------------------Inicio da Triiger--------------------------");
        form.appendProcessLog("CREATE OR ALTER TRIGGER TRG_CLIENTES_BI FOR CLIENTES\r\nACTIVE BEFORE INSERT "
                              "POSITION 0\r\nAS\r\nBEGIN\r\n  NEW.ID = GEN_ID(GEN_CLIENTES, 1);\r\nEND");
        form.move(0, 0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::qWait(300);

        const QImage shot = form.screen()->grabWindow(form.winId()).toImage();
        QVERIFY(!shot.isNull());
        QCOMPARE(shot.width(), form.width());
        QCOMPARE(shot.height(), form.height());
        // The lamps as painted on the screen: red.
        for (const vistrel::app::TPanel* lamp : {form.status1, form.status2}) {
            const QPoint centre = lamp->mapTo(&form, QPoint(3, lamp->height() - 4));
            QCOMPARE(QColor(shot.pixel(centre)), QColor(255, 0, 0));
        }
        // The four option labels are drawn beside their boxes: bold white text on the band.
        for (const QLabel* label : {form.Label1, form.Label5, form.Label6, form.Label7}) {
            const QRect area(label->mapTo(&form, QPoint(0, 0)), label->size());
            int white = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    white += QColor(shot.pixel(x, y)) == QColor(Qt::white) ? 1 : 0;
            QVERIFY2(white >= 10, qPrintable(label->objectName()));
        }
        const QString path = qEnvironmentVariable("VISTREL_SCREENSHOT", QStringLiteral("vistrel-window.png"));
        QVERIFY(shot.save(path));
        qInfo("screenshot saved to %s", qPrintable(path));
    }
};

QTEST_MAIN(ScreenshotTest)
#include "screenshot_test.moc"
