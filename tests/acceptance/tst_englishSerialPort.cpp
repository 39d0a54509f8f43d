// The port opened, scanned and closed in the English interface, through the real serial dialog, the
// main window and its worker on a simulated bus: the dialog's and the menu's captions carry the
// port's state in Chinese words only in Chinese, and nothing may depend on those words.

#include "shell/MainWindowFixture.h"

#include "Language.h"

#include <QtTest>

class tst_englishSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void openScanAndClose();
};

void tst_englishSerialPort::initTestCase()
{
    QVERIFY(Language::install(qApp, UiLanguage::English));
}

void tst_englishSerialPort::cleanupTestCase()
{
    Language::install(qApp, UiLanguage::Chinese);
}

void tst_englishSerialPort::openScanAndClose()
{
    MainWindowFixture f;
    mainWnd &w = *f.window;
    QCOMPARE(f.openButton()->text(), QStringLiteral("Open"));
    QVERIFY(f.openPort());
    QCOMPARE(f.openButton()->text(), QStringLiteral("Opened"));

    w.action_checkDevice();
    QTRY_COMPARE(w.foundDeviceIds(), (QList<quint8>{1, 2, 3}));
    const QString notConnected = shown("mainWnd", "串口未连接");
    for (const MessageBoxSeam::Box &box : qAsConst(f.boxes.boxes))
        QVERIFY2(box.text != notConnected, qPrintable(box.text));

    QTest::mouseClick(f.openButton(), Qt::LeftButton);
    QTRY_COMPARE(f.openButton()->text(), QStringLiteral("Closed"));
    f.boxes.boxes.clear();
    w.action_checkDevice();
    QCOMPARE(f.boxes.lastText(), notConnected);
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_englishSerialPort)
#include "tst_englishSerialPort.moc"
