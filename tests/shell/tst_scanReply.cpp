#include "ScanReply.h"
#include "SerialPort.h"

#include <QtTest>

namespace {
QByteArray echo(quint8 address)
{
    return SerialPort::buildEchoFrame(address);
}

QByteArray withByte(QByteArray frame, int index, quint8 value)
{
    frame[index] = char(value);
    return frame;
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
    QTest::addColumn<bool>("adapterEchoes");

    QTest::newRow("nothing") << QByteArray() << QList<quint8>{} << false;
    QTest::newRow("two echoes in address order") << echo(1) + echo(3) << QList<quint8>{1, 3} << false;
    QTest::newRow("two echoes out of order") << echo(3) + echo(1) << QList<quint8>{1, 3} << false;
    QTest::newRow("the same address twice") << echo(5) + echo(5) << QList<quint8>{5} << false;
    QTest::newRow("address 8 looks like the function code") << echo(8) << QList<quint8>{8} << false;
    QTest::newRow("echo at the very start has no address")
        << echo(2).mid(1) + echo(4) << QList<quint8>{4} << false;
    QTest::newRow("single byte 0x08") << QByteArray::fromHex("08") << QList<quint8>{} << false;
    QTest::newRow("cut-off echo adds nothing") << echo(6).left(4) + echo(7) << QList<quint8>{7} << false;
    QTest::newRow("noise around echoes")
        << QByteArray::fromHex("ff00aa") + echo(2) + QByteArray::fromHex("55") + echo(12)
        << QList<quint8>{2, 12} << false;
    QTest::newRow("late bytes of one address arrive with the next")
        << echo(9).left(3) + echo(9).mid(3) + echo(10) << QList<quint8>{9, 10} << false;

    // Echo 1 ends in the CRC byte 0x71: an echo that lost its address behind it made a phantom 113.
    QTest::newRow("echo that lost its address after echo 1")
        << echo(1) + echo(2).mid(1) << QList<quint8>{1} << false;

    // Noise and broken echoes list no phantom controllers.
    QTest::newRow("noise burst holding an echo's body")
        << QByteArray::fromHex("710800005566") + echo(2) << QList<quint8>{2} << false;
    QTest::newRow("whole echo of an address never probed")
        << echo(129) + echo(3) << QList<quint8>{3} << false;
    QTest::newRow("address 0 is never probed") << echo(0) << QList<quint8>{} << false;
    QTest::newRow("address 16 is never probed") << echo(16) << QList<quint8>{} << false;
    QTest::newRow("address bit flipped on the line")
        << withByte(echo(1), 0, 0x81) + echo(4) << QList<quint8>{4} << false;
    QTest::newRow("echo cut off before its CRC")
        << echo(5).left(6) + echo(6).left(7) << QList<quint8>{} << false;
    QTest::newRow("echo with a bad CRC")
        << withByte(echo(5), 7, quint8(echo(5)[7]) ^ 0xFF) << QList<quint8>{} << false;
    QTest::newRow("cut-off echo runs into a whole one")
        << echo(5).left(3) + echo(9) << QList<quint8>{9} << false;

    // An adapter that echoes puts each probe back on the line before the controller's echo.
    QTest::newRow("adapter's copies alone") << echo(1) + echo(2) + echo(3) << QList<quint8>{} << true;
    QTest::newRow("copy, then the controller's echo")
        << echo(1) + echo(2) + echo(2) + echo(3) << QList<quint8>{2} << true;
    QTest::newRow("late echo after the next copy")
        << echo(1) + echo(2) + echo(1) + echo(2) + echo(3) << QList<quint8>{1, 2} << true;
    QTest::newRow("copy with a cut-off echo") << echo(4) + echo(4).left(5) << QList<quint8>{} << true;
}

void tst_scanReply::addresses()
{
    QFETCH(QByteArray, reply);
    QFETCH(QList<quint8>, expected);
    QFETCH(bool, adapterEchoes);
    QCOMPARE(addressesInScanReply(reply, adapterEchoes), expected);
}

#include "TestRunner.h"

QUORIX_TEST_APPLESS_MAIN(tst_scanReply)
#include "tst_scanReply.moc"
