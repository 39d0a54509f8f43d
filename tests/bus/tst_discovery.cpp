// Discovery of the controllers on the bus and the worker's online state of each device.

#include "WorkerFixture.h"

namespace {

// The device list as "id:polled" items, e.g. "7:1 9:0".
QString describe(const QList<OnlineDevice> &devices)
{
    QStringList items;
    for (const OnlineDevice &d : devices) {
        const bool all = d.cur && d.cum && d.temp && d.press;
        items.append(QString("%1:%2").arg(d.id).arg(all ? 1 : d.polled() ? -1 : 0));
    }
    return items.join(' ');
}

QByteArray echoes(const QList<quint8> &addresses)
{
    QByteArray bytes;
    for (quint8 address : addresses)
        bytes.append(SerialPort::buildEchoFrame(address));
    return bytes;
}

} // namespace

class DiscoveryTest : public QObject
{
    Q_OBJECT

private slots:
    void scan_data();
    void scan();
    void scanProbesAddressesOneToFifteen();
    void scanWithPortClosedEmitsNothing();
    void scanCutShortByAPulledAdapterEmitsNothing();
    void noisyLineKeepsEveryEcho();

    void onlineTransitions_data();
    void onlineTransitions();
    void takingOfflineKeepsCounters();
    void emptyListEmptiesDevices();
};

void DiscoveryTest::scan_data()
{
    QTest::addColumn<QList<quint8>>("present");
    QTest::addColumn<int>("lateMs");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("devices at 2 and 5") << QList<quint8>{2, 5} << 0 << echoes({2, 5});
    QTest::newRow("nothing answers") << QList<quint8>{} << 0 << QByteArray();
    QTest::newRow("all fifteen") << QList<quint8>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15} << 0
                                 << echoes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
    QTest::newRow("address 16 is never probed") << QList<quint8>{3, 16} << 0 << echoes({3});
    QTest::newRow("late within the first wait") << QList<quint8>{4, 9} << 15 << echoes({4, 9});
    // A late echo spills into the next address's read but still belongs to the result.
    QTest::newRow("late beyond both waits") << QList<quint8>{4, 9} << 45 << echoes({4, 9});
}

void DiscoveryTest::scan()
{
    QFETCH(QList<quint8>, present);
    QFETCH(int, lateMs);
    QFETCH(QByteArray, expected);
    WorkerFixture f(present);
    QCOMPARE(f.openPort(), 1);
    SimFaults late;
    late.lateMs = lateMs;
    for (quint8 address : present)
        f.bus->setFaults(address, late);
    QSignalSpy spy(&f.relay, &WorkerSignals::sig_CheckDevice);
    f.worker.requestScan();
    f.tick();
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(WorkerFixture::hex(spy.at(0).at(0).toByteArray()), WorkerFixture::hex(expected));
}

void DiscoveryTest::scanProbesAddressesOneToFifteen()
{
    WorkerFixture f(QList<quint8>{});
    QCOMPARE(f.openPort(), 1);
    f.worker.requestScan();
    f.tick();
    QStringList expected;
    for (quint8 address = 1; address <= 15; ++address)
        expected.append(WorkerFixture::hex(SerialPort::buildEchoFrame(address)));
    QCOMPARE(f.received(), expected);
    QCOMPARE(LogCapture::count("查询设备发送的报文是"), 15);
    QCOMPARE(LogCapture::count("单次查询接受的报文是"), 15);
    // Each probe and what came back, in hex between brackets; nothing answers on this bus.
    const QString probe = QString::fromLatin1(SerialPort::buildEchoFrame(7).toHex());
    QVERIFY(LogCapture::all().contains("查询设备发送的报文是 [ \"" + probe + "\" ]"));
    QCOMPARE(LogCapture::all().count("单次查询接受的报文是 [ \"\" ]"), 15);
    // The request is served once.
    f.tick();
    QCOMPARE(f.received().size(), 15);
}

void DiscoveryTest::scanWithPortClosedEmitsNothing()
{
    WorkerFixture f({1});
    QSignalSpy spy(&f.relay, &WorkerSignals::sig_CheckDevice);
    f.worker.requestScan();
    f.tick();
    QCOMPARE(LogCapture::count("串口未连接"), 1);
    // Consumed: opening the port later does not bring the scan back.
    QCOMPARE(f.openPort(), 1);
    f.tick();
    QCoreApplication::processEvents();
    QCOMPARE(spy.count(), 0);
    QCOMPARE(f.received().size(), 0);
}

// Listing only the controllers probed before the adapter went would reset every other row.
void DiscoveryTest::scanCutShortByAPulledAdapterEmitsNothing()
{
    WorkerFixture f({1, 9});
    QCOMPARE(f.openPort(), 1);
    QSignalSpy spy(&f.relay, &WorkerSignals::sig_CheckDevice);
    QSignalSpy lostLink(&f.relay, &WorkerSignals::sig_linkLost);
    LogCapture::setHook([bus = f.bus.get()](const QString &line) {
        if (line.contains("单次查询接受的报文是") && line.contains(QByteArray::fromHex("01080000").toHex()))
            bus->unplug();
    });
    f.worker.requestScan();
    f.tick();
    LogCapture::setHook(nullptr);
    QTRY_COMPARE(lostLink.count(), 1);
    QCOMPARE(spy.count(), 0);
}

void DiscoveryTest::noisyLineKeepsEveryEcho()
{
    WorkerFixture f({2, 5});
    QCOMPARE(f.openPort(), 1);
    f.bus->setNoise(QByteArray("\xAA\x55", 2), 7);
    QSignalSpy spy(&f.relay, &WorkerSignals::sig_CheckDevice);
    f.worker.requestScan();
    f.tick();
    QTRY_COMPARE(spy.count(), 1);
    const QByteArray result = spy.at(0).at(0).toByteArray();
    QVERIFY(result.contains(SerialPort::buildEchoFrame(2)));
    QVERIFY(result.contains(SerialPort::buildEchoFrame(5)));
}

// Rows: the list given to slot_checkDevices, the online requests (type,id), the resulting list.
void DiscoveryTest::onlineTransitions_data()
{
    QTest::addColumn<QList<quint8>>("listed");
    QTest::addColumn<QList<QPoint>>("requests");
    QTest::addColumn<QString>("devices");
    QTest::newRow("listed devices start unpolled") << QList<quint8>{7, 9} << QList<QPoint>{} << "7:0 9:0";
    QTest::newRow("type 3 takes a listed device online")
        << QList<quint8>{7, 9} << QList<QPoint>{{3, 7}} << "7:1 9:0";
    QTest::newRow("type 3 adds an unlisted address unpolled")
        << QList<quint8>{9} << QList<QPoint>{{3, 7}} << "9:0 7:0";
    QTest::newRow("type 1 stops polling and keeps the record")
        << QList<quint8>{7} << QList<QPoint>{{3, 7}, {1, 7}} << "7:0";
    QTest::newRow("type 1 for an unlisted address does nothing")
        << QList<quint8>{9} << QList<QPoint>{{1, 7}} << "9:0";
    QTest::newRow("type 2 brings a dropped device back polled")
        << QList<quint8>{} << QList<QPoint>{{2, 7}} << "7:1";
    QTest::newRow("type 2 on a listed device polls it") << QList<quint8>{7} << QList<QPoint>{{2, 7}} << "7:1";
    QTest::newRow("an address above 255 never matches; its low byte is added")
        << QList<quint8>{7} << QList<QPoint>{{3, 263}} << "7:0 7:0";
    QTest::newRow("an unknown type does nothing")
        << QList<quint8>{7} << QList<QPoint>{{5, 7}, {0, 9}} << "7:0";
    QTest::newRow("duplicates: only the first record is reached")
        << QList<quint8>{7, 7} << QList<QPoint>{{3, 7}} << "7:1 7:0";
}

void DiscoveryTest::onlineTransitions()
{
    QFETCH(QList<quint8>, listed);
    QFETCH(QList<QPoint>, requests);
    QFETCH(QString, devices);
    WorkerFixture f;
    f.worker.slot_checkDevices(listed);
    for (const QPoint &request : requests)
        f.worker.slot_onlineDevice(request.x(), request.y());
    QCOMPARE(describe(f.worker.devicesSnapshot()), devices);
}

void DiscoveryTest::takingOfflineKeepsCounters()
{
    WorkerFixture f({1});
    QCOMPARE(f.openPort(), 1);
    SimFaults silent;
    silent.silent = true;
    f.bus->setFaults(1, silent);
    f.poll({1});
    f.ticks(2);
    f.worker.slot_onlineDevice(1, 1);
    f.ticks(2);
    const OnlineDevice record = f.device(1);
    QCOMPARE(record.queryCount, 8);
    QCOMPARE(record.lossCount, 8);
    QCOMPARE(record.totalQuery, 8);
    QVERIFY(!record.polled());
}

void DiscoveryTest::emptyListEmptiesDevices()
{
    WorkerFixture f;
    f.poll({1, 2, 3});
    f.worker.slot_checkDevices({});
    QCOMPARE(f.worker.devicesSnapshot().size(), 0);
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
