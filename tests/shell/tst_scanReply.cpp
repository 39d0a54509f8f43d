#include "ScanReply.h"
#include "SerialPort.h"

#include <QtTest>

Q_DECLARE_METATYPE(QList<quint8>)

namespace {
QByteArray echo(quint8 address)
{
    return SerialPort::buildEchoFrame(address);
}
} // namespace

class tst_scanReply : public QObject
{
    Q_OBJECT
private slots:
    void addresses_data();
    void addresses();
};

void tst_scanReply::addresses_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QList<quint8>>("expected");

    QTest::newRow("nothing") << QByteArray() << QList<quint8>{};
    QTest::newRow("two echoes in address order") << echo(1) + echo(3) << QList<quint8>{1, 3};
    QTest::newRow("two echoes out of order") << echo(3) + echo(1) << QList<quint8>{1, 3};
    QTest::newRow("the same address twice") << echo(5) + echo(5) << QList<quint8>{5};
    QTest::newRow("address 8 looks like the function code") << echo(8) << QList<quint8>{8};
    QTest::newRow("echo at the very start has no address") << echo(2).mid(1) + echo(4) << QList<quint8>{4};
    QTest::newRow("single byte 0x08") << QByteArray::fromHex("08") << QList<quint8>{};
    QTest::newRow("cut-off echo adds nothing") << echo(6).left(4) + echo(7) << QList<quint8>{7};
    QTest::newRow("noise around echoes")
        << QByteArray::fromHex("ff00aa") + echo(2) + QByteArray::fromHex("55") + echo(12)
        << QList<quint8>{2, 12};
    QTest::newRow("late bytes of one address arrive with the next")
        << echo(9).left(3) + echo(9).mid(3) + echo(10) << QList<quint8>{9, 10};

    // A CRC byte of 0x08 must not be taken for the start of an echo.
    QByteArray withCrc08;
    for (int address = 1; address <= 255 && withCrc08.isEmpty(); ++address) {
        const QByteArray frame = echo(quint8(address));
        if (quint8(frame[7]) == 0x08 || quint8(frame[6]) == 0x08)
            withCrc08 = frame;
    }
    if (!withCrc08.isEmpty())
        QTest::newRow("CRC byte 0x08") << withCrc08 << QList<quint8>{quint8(withCrc08[0])};
}

void tst_scanReply::addresses()
{
    QFETCH(QByteArray, reply);
    QFETCH(QList<quint8>, expected);
    QCOMPARE(addressesInScanReply(reply), expected);
}

QTEST_APPLESS_MAIN(tst_scanReply)
#include "tst_scanReply.moc"
