// A tick of the worker: the order in which it serves requests, the read-backs, the polling cycle
// with its loss windows, the usage report, the parameter and setpoint writes, and a link that
// breaks while devices are polled.

#include "SimExchange.h"
#include "LinkWatch.h"
#include "RegisterMap.h"
#include "WorkerFixture.h"

#include <QAbstractEventDispatcher>
#include <atomic>
#include <limits>

using SimExchange::silence;

namespace {

// A controller in a fault state: every read fails at once, with its exception reply, so that a
// test need not wait out a reply timeout for each of the failures that drop it.
SimFaults refusal()
{
    SimFaults faults;
    faults.exceptionCode = 4;
    return faults;
}

// The register a read or write frame addresses, as "address:register" in hex.
QStringList targets(const QList<QByteArray> &frames)
{
    QStringList list;
    for (const QByteArray &frame : frames) {
        const int function = quint8(frame[1]);
        if (function == 0x08) {
            list.append("scan");
            continue;
        }
        const int reg = quint8(frame[2]) << 8 | quint8(frame[3]);
        list.append(QString("%1%2:%3")
                        .arg(function == 0x03 ? "r" : "w")
                        .arg(quint8(frame[0]))
                        .arg(reg, 4, 16, QChar('0')));
    }
    list.removeDuplicates();
    return list;
}

} // namespace

class PollingTest : public QObject
{
    Q_OBJECT

private slots:
    void tickServesRequestsInOrder();
    void readBacksRetryUntilAnswered();
    void droppedControllerIsNoLongerReadBack();

    void lossWindow_data();
    void lossWindow();
    void answeringDeviceIsNeverDropped();
    void corruptedReplyIsALossNeverAValue();
    void usageReport_data();
    void usageReport();

    void parameterWrites_data();
    void parameterWrites();
    void blockReadsReportEveryAnsweredRegister();
    void setpointIsRetriedOnSixTicksThenGivenUp();
    void givenUpSetpointIsReadBack_data();
    void givenUpSetpointIsReadBack();
    void stagedStepsWriteListedDevicesOnly();

    void pulledAdapter_data();
    void pulledAdapter();
    void operatorCloseStopsPolling();
    void readingsNeverShift_data();
    void readingsNeverShift();
    void requestsKeptPerControllerAndKind_data();
    void requestsKeptPerControllerAndKind();
    void stagedStopReachesScannedControllers();
};

void PollingTest::tickServesRequestsInOrder()
{
    WorkerFixture f({1, 2});
    QCOMPARE(f.openPort(), 1);
    f.poll({1});
    f.worker.slot_excuteStep(1, 3.0f);
    f.worker.requestOrdinaryRead(2);
    f.worker.requestOrdinaryWrite(2, 3, 1, 40, 0);
    f.worker.requestAdminRead(2);
    f.worker.requestAdminWrite(2, 2, 1, 5, 0);
    f.worker.requestSetpoint(2, 2, 7.5f);
    f.worker.slot_showFlowResult(1, 2);
    f.worker.slot_showFlowResult(2, 2);
    f.worker.slot_responseShowMode(2);
    f.worker.requestScan();
    f.bus->clearReceivedFrames();
    f.tick();

    const QStringList expected{"scan",    "w1:303e", "r2:3002", "r2:3004", "r2:3008", "r2:300a", "r2:300c",
                               "r2:300e", "r2:3010", "r2:3012", "r2:3014", "r2:3018", "r2:3000", "r2:301c",
                               "w2:3008", "r2:301e", "r2:3020", "r2:3034", "r2:3022", "r2:3026", "r2:302a",
                               "r2:302e", "r2:3032", "r2:3036", "r2:303a", "w2:3020", "w2:3042", "r2:303e",
                               "r2:3042", "r1:3000", "r1:1000", "r1:3046", "r1:1004", "r1:1008"};
    QStringList served = targets(f.bus->receivedFrames());
    // Device 1 came online: its mode is read back (r1:3000) with the others'.
    QCOMPARE(served, expected);
    // Every one-off request was consumed: the next tick only polls.
    f.bus->clearReceivedFrames();
    f.tick();
    QCOMPARE(targets(f.bus->receivedFrames()), (QStringList{"r1:1000", "r1:3046", "r1:1004", "r1:1008"}));
}

void PollingTest::readBacksRetryUntilAnswered()
{
    WorkerFixture f({4});
    QCOMPARE(f.openPort(), 1);
    f.bus->setIntRegister(4, 0x3000, 1);
    f.bus->setFloatRegister(4, 0x3042, 8.25f);
    f.bus->setFaults(4, silence());
    QSignalSpy modes(&f.relay, &WorkerSignals::refreshDeviceMode);
    QSignalSpy setpoints(&f.relay, &WorkerSignals::sig_showCurResult);
    f.worker.slot_responseShowMode(4);
    f.worker.slot_showFlowResult(2, 4);
    f.ticks(3);
    // The first read fails and leaves 4 out of step; from then on one check of the line a tick,
    // and the read-backs behind a failed check fail unsent.
    QCOMPARE(f.received(0x03).size(), 1);
    QCOMPARE(f.received(0x08).size(), 3);

    f.bus->clearFaults();
    f.tick(); // first proves the line is in step with 4 again (its discovery echo)
    QTRY_COMPARE(modes.count(), 1);
    QCOMPARE(modes.at(0), (QList<QVariant>{4, 1}));
    QTRY_COMPARE(setpoints.count(), 1);
    QCOMPARE(setpoints.at(0).at(0).toInt(), 2);
    QCOMPARE(setpoints.at(0).at(1).toInt(), 4);
    QCOMPARE(bytes_to_float(setpoints.at(0).at(2).toByteArray(), 3), 8.25f);
    f.tick();
    QCOMPARE(f.received(0x03).size(), 3);
    QCOMPARE(f.received(0x08).size(), 4);
}

// A controller taken online that fails every read is dropped; its mode read-back must not stay
// behind, or a silent controller would cost every later tick a reply timeout.
void PollingTest::droppedControllerIsNoLongerReadBack()
{
    WorkerFixture f({1, 2});
    QCOMPARE(f.openPort(), 1);
    f.bus->setFaults(1, refusal());
    f.poll({1});
    QSignalSpy lostDevices(&f.relay, &WorkerSignals::deviceconnectStatus);
    f.ticks(6);
    QTRY_COMPARE(lostDevices.count(), 1);
    f.bus->clearReceivedFrames();
    f.tick();
    QCOMPARE(f.received(), QStringList());
}

// A polled device's window holds 24 queries (six cycles of four). Losses are placed exactly: the
// device answers the first cycle, leaves the next `unanswered` requests unanswered and answers
// from then on. After a failed query the device's other quantities of the cycle count as lost
// unsent, and its next cycle begins with a check of the line; a check left unanswered costs that
// whole cycle. So every unanswered request costs four queries.
void PollingTest::lossWindow_data()
{
    QTest::addColumn<int>("unanswered");
    QTest::addColumn<int>("lost");
    QTest::addColumn<bool>("dropped");
    QTest::newRow("8 of 24 lost survives") << 2 << 8 << false;
    QTest::newRow("12 of 24 lost is dropped") << 3 << 12 << true;
    QTest::newRow("silent after the first cycle is dropped") << 5 << 20 << true;
}

void PollingTest::lossWindow()
{
    QFETCH(int, unanswered);
    QFETCH(int, lost);
    QFETCH(bool, dropped);
    WorkerFixture f({1, 2});
    QCOMPARE(f.openPort(), 1);
    f.poll({1, 2});
    QSignalSpy lostDevices(&f.relay, &WorkerSignals::deviceconnectStatus);
    f.tick(); // the mode read-backs of both, and the first cycle, all answered
    SimFaults faults;
    faults.unansweredRequests = unanswered;
    f.bus->setFaults(1, faults);

    f.ticks(4);
    QCOMPARE(f.deviceIds(), (QList<quint8>{1, 2}));
    QCOMPARE(f.device(1).queryCount, 20);
    f.tick();
    QCOMPARE(f.bus->faults(1).unansweredRequests, 0);
    QCOMPARE(LogCapture::count("号当20次查询后的丢包次数是"), 2);
    if (dropped) {
        QCOMPARE(f.deviceIds(), QList<quint8>{2});
        QTRY_COMPARE(lostDevices.count(), 1);
        QCOMPARE(lostDevices.at(0), (QList<QVariant>{1, false}));
        QCOMPARE(LogCapture::count("设备掉线了"), 1);
    } else {
        const OnlineDevice record = f.device(1);
        QCOMPARE(record.queryCount, 0);
        QCOMPARE(record.lossCount, 0);
        QCOMPARE(record.totalLoss, lost);
        QCOMPARE(record.totalQuery, 24);
        QCoreApplication::processEvents();
        QCOMPARE(lostDevices.count(), 0);
    }
    // The device after the dropped one is still polled in the same cycle and the next.
    QCOMPARE(f.device(2).totalQuery, 24);
    f.tick();
    QCOMPARE(f.device(2).totalQuery, 28);
}

void PollingTest::answeringDeviceIsNeverDropped()
{
    WorkerFixture f({3});
    QCOMPARE(f.openPort(), 1);
    f.poll({3});
    QSignalSpy readings(&f.relay, &WorkerSignals::sendFreshDeviceInformation);
    f.ticks(13);
    const OnlineDevice record = f.device(3);
    QCOMPARE(record.totalQuery, 52);
    QCOMPARE(record.totalLoss, 0);
    QCOMPARE(record.queryCount, 4); // back to 0 after cycles 6 and 12
    QTRY_COMPARE(readings.count(), 52);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(readings.at(i).at(0).toInt(), i + 1);
        QCOMPARE(readings.at(i).at(1).toInt(), 3);
        QVERIFY(SerialPort::isSoundReadReply(readings.at(i).at(2).toByteArray(), 3));
    }
}

void PollingTest::corruptedReplyIsALossNeverAValue()
{
    WorkerFixture f({1});
    QCOMPARE(f.openPort(), 1);
    f.poll({1});
    SimFaults corrupted;
    corrupted.corruptFraction = 1.0;
    f.bus->setFaults(1, corrupted);
    QSignalSpy readings(&f.relay, &WorkerSignals::sendFreshDeviceInformation);
    QSignalSpy losses(&f.relay, &WorkerSignals::sig_count_loss);
    f.tick();
    QTRY_COMPARE(losses.count(), 2);
    QCOMPARE(losses.at(1), (QList<QVariant>{2, 4.0f}));
    QCOMPARE(readings.count(), 0);
    QCOMPARE(f.device(1).lossCount, 4);
}

void PollingTest::usageReport_data()
{
    QTest::addColumn<int>("period");
    QTest::addColumn<QList<quint8>>("listed");
    QTest::addColumn<double>("minUsage");
    QTest::addColumn<double>("maxUsage");
    // Each listed record costs four pauses of 10 ms even when nothing of it is polled; a busy
    // machine may make the cycle longer, never shorter.
    const double unbounded = std::numeric_limits<double>::infinity();
    QTest::newRow("empty list, less than the period") << 1000 << QList<quint8>{} << 0.0 << 100.0;
    QTest::newRow("two records, at least 80 ms of 100") << 100 << QList<quint8>{1, 2} << 79.0 << unbounded;
    QTest::newRow("period 0 reports 0") << 0 << QList<quint8>{1, 2} << 0.0 << 0.0;
    QTest::newRow("a negative period gives a negative share")
        << -100 << QList<quint8>{1, 2} << -unbounded << -79.0;
}

void PollingTest::usageReport()
{
    QFETCH(int, period);
    QFETCH(QList<quint8>, listed);
    QFETCH(double, minUsage);
    QFETCH(double, maxUsage);
    WorkerFixture f({1, 2}, {10, Timings().replyTimeout});
    f.worker.setCommParam(1, period);
    f.worker.slot_checkDevices(listed);
    f.worker.slot_clearLoss();
    QSignalSpy spy(&f.relay, &WorkerSignals::sig_count_loss);
    f.tick();
    QTRY_COMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).toInt(), 1);
    const double usage = spy.at(0).at(1).toDouble();
    QVERIFY2(usage >= minUsage && usage <= maxUsage, qPrintable(QString::number(usage)));
    QCOMPARE(spy.at(1), (QList<QVariant>{2, 0.0f}));
    QCOMPARE(f.received().size(), 0);
}

// Rows: administrator window or not, the write type, its data, whether the device is silent, the
// reported outcome and the frame on the wire ("" for none).
void PollingTest::parameterWrites_data()
{
    QTest::addColumn<bool>("admin");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("data1");
    QTest::addColumn<double>("data2");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<QString>("frame");
    const auto floatFrame = [](quint16 reg, float v) {
        return WorkerFixture::hex(SerialPort::buildWriteFloatFrame(1, reg, v));
    };
    const auto intFrame = [](quint16 reg, int v) {
        return WorkerFixture::hex(SerialPort::buildWriteInt16Frame(1, reg, v));
    };
    QTest::newRow("ordinary 1: float to 0x3004")
        << false << 1 << 9 << 2.5 << false << true << floatFrame(0x3004, 2.5f);
    QTest::newRow("ordinary 2: 16-bit to 0x3002")
        << false << 2 << 3 << 9.0 << false << true << intFrame(0x3002, 3);
    QTest::newRow("ordinary 12 sends 1 whatever data1")
        << false << 12 << 77 << 0.0 << false << true << intFrame(0x2002, 1);
    QTest::newRow("ordinary 3 to a silent device fails")
        << false << 3 << 30 << 0.0 << true << false << intFrame(0x3008, 30);
    QTest::newRow("ordinary unknown type fails, sends nothing")
        << false << 14 << 1 << 1.0 << false << false << "";
    QTest::newRow("admin 5: float gain P")
        << true << 5 << 0 << 1.75 << false << true << floatFrame(0x3026, 1.75f);
    QTest::newRow("admin 11 echoed is a success")
        << true << 11 << 0 << 0.0 << false << true << intFrame(0x2000, 27451);
    QTest::newRow("admin 12 to a silent device is a failure")
        << true << 12 << 0 << 0.0 << true << false << intFrame(0x2002, 66);
    QTest::newRow("admin 16 echoed is a success")
        << true << 16 << 0 << 0.0 << false << true << intFrame(0x2002, 466);
    QTest::newRow("admin unknown type fails, sends nothing")
        << true << 17 << 0 << 0.0 << false << false << "";
}

void PollingTest::parameterWrites()
{
    QFETCH(bool, admin);
    QFETCH(int, type);
    QFETCH(int, data1);
    QFETCH(double, data2);
    QFETCH(bool, silent);
    QFETCH(bool, reported);
    QFETCH(QString, frame);
    WorkerFixture f({1});
    QCOMPARE(f.openPort(), 1);
    if (silent)
        f.bus->setFaults(1, silence());
    QSignalSpy ordinary(&f.relay, &WorkerSignals::sig_modifyParamStatus);
    QSignalSpy administrator(&f.relay, &WorkerSignals::sig_modifyAdminStatus);
    if (admin)
        f.worker.requestAdminWrite(1, type, 1, data1, float(data2));
    else
        f.worker.requestOrdinaryWrite(1, type, 1, data1, float(data2));
    f.ticks(2); // served once, whatever the outcome
    QSignalSpy &spy = admin ? administrator : ordinary;
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0), (QList<QVariant>{reported, type}));
    QCOMPARE(f.received(), frame.isEmpty() ? QStringList{} : QStringList{frame});
}

void PollingTest::blockReadsReportEveryAnsweredRegister()
{
    WorkerFixture f({6});
    QCOMPARE(f.openPort(), 1);
    f.bus->setIntRegister(6, 0x3008, 45);
    QSignalSpy ordinary(&f.relay, &WorkerSignals::sig_param_result);
    QSignalSpy administrator(&f.relay, &WorkerSignals::sig_show_Admin_param_result);
    f.worker.requestOrdinaryRead(6);
    f.worker.requestAdminRead(6);
    f.tick();
    QTRY_COMPARE(ordinary.count(), 12);
    QTRY_COMPARE(administrator.count(), 11);
    for (int k = 0; k < 12; ++k) {
        QCOMPARE(ordinary.at(k).at(0).toInt(), k + 1);
        QCOMPARE(ordinary.at(k).at(1).toInt(), 6);
    }
    QCOMPARE(bytes_to_uint16(ordinary.at(2).at(2).toByteArray(), 3), 45);
    QCOMPARE(bytes_to_uint16(administrator.at(10).at(2).toByteArray(), 3), 6);
}

void PollingTest::setpointIsRetriedOnSixTicksThenGivenUp()
{
    WorkerFixture f({3, 4});
    QCOMPARE(f.openPort(), 1);
    QSignalSpy written(&f.relay, &WorkerSignals::sig_setpointWritten);
    QSignalSpy givenUp(&f.relay, &WorkerSignals::sig_setpointGivenUp);
    QSignalSpy readBacks(&f.relay, &WorkerSignals::sig_showCurResult);
    f.bus->setFaults(3, silence());
    f.worker.requestSetpoint(3, 1, 12.5f);
    f.ticks(8);
    // Given up, the controller's own setpoint is read once.
    const QString write = WorkerFixture::hex(SerialPort::buildWriteFloatFrame(3, 0x303E, 12.5f));
    QCOMPARE(f.received(), QStringList(QVector<QString>(6, write).toList())
                               << WorkerFixture::hex(WorkerFixture::readRequest(3, 0x303E)));
    QCOMPARE(LogCapture::count("modify_flow_data"), 6);
    QCOMPARE(LogCapture::count(" count_cur"), 6);
    QCOMPARE(LogCapture::count("修改瞬时量错误"), 1);
    QTRY_COMPARE(givenUp.count(), 1);
    QCOMPARE(givenUp.at(0), (QList<QVariant>{1, 3}));
    QCOMPARE(readBacks.count(), 0);
    QCOMPARE(written.count(), 0);

    // Each request counts its own attempts: one for another controller does not replace it.
    f.worker.requestSetpoint(3, 2, 4.0f);
    f.ticks(5);
    f.worker.requestSetpoint(4, 2, 4.0f);
    f.tick();
    QCOMPARE(LogCapture::count("修改累积量量执行成功"), 1);
    QCOMPARE(f.bus->floatRegister(4, 0x3042), 4.0f);
    QCOMPARE(LogCapture::count("修改累积量错误"), 1);
    QTRY_COMPARE(written.count(), 1);
    QCOMPARE(written.at(0), (QList<QVariant>{2, 4, 4.0f}));
    QCOMPARE(givenUp.count(), 2);
    QCOMPARE(givenUp.at(1), (QList<QVariant>{2, 3}));
}

// Writes that vanish on the line while reads are answered: after the sixth lost write the worker
// reports the give-up, then the setpoint the controller still holds.
void PollingTest::givenUpSetpointIsReadBack_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("reg");
    QTest::newRow("instantaneous") << 1 << int(RegisterMap::InstantSetpoint);
    QTest::newRow("cumulative") << 2 << int(RegisterMap::CumulativeSetpoint);
}

void PollingTest::givenUpSetpointIsReadBack()
{
    QFETCH(int, kind);
    QFETCH(int, reg);
    WorkerFixture f({5});
    QCOMPARE(f.openPort(), 1);
    f.bus->setFloatRegister(5, quint16(reg), 7.75f);
    SimFaults lose;
    lose.lostWrites = 6;
    f.bus->setFaults(5, lose);
    QStringList outcome;
    QObject::connect(&f.relay, &WorkerSignals::sig_setpointGivenUp,
                     [&](int k, int id) { outcome << QString("given up %1 %2").arg(k).arg(id); });
    QObject::connect(&f.relay, &WorkerSignals::sig_showCurResult, [&](int k, int id, QByteArray reply) {
        outcome << QString("read back %1 %2 %3").arg(k).arg(id).arg(bytes_to_float(reply, 3));
    });
    f.worker.requestSetpoint(5, kind, 99.0f);
    f.ticks(6);
    QTRY_COMPARE(outcome.size(), 2);
    QCOMPARE(outcome, (QStringList{QString("given up %1 5").arg(kind), QString("read back %1 5 7.75").arg(kind)}));
    QCOMPARE(f.bus->lostFrameCount(), 6);

    // The next write of the field goes through and is reported written.
    QSignalSpy written(&f.relay, &WorkerSignals::sig_setpointWritten);
    f.worker.requestSetpoint(5, kind, 99.0f);
    f.tick();
    QTRY_COMPARE(written.count(), 1);
    QCOMPARE(written.at(0), (QList<QVariant>{kind, 5, 99.0f}));
    QCOMPARE(f.bus->floatRegister(5, quint16(reg)), 99.0f);
}

void PollingTest::stagedStepsWriteListedDevicesOnly()
{
    WorkerFixture f({1, 2});
    QCOMPARE(f.openPort(), 1);
    f.worker.slot_checkDevices({1});
    f.worker.slot_excuteStep(2, 9.0f); // not listed: dropped
    f.worker.slot_excuteStep(1, 5.0f);
    f.worker.slot_excuteStep(1, 6.0f); // replaces the pending value
    f.worker.slot_startStep(false);
    f.tick();
    QCOMPARE(f.received().size(), 0);
    f.worker.slot_startStep(true);
    f.ticks(2);
    QCOMPARE(f.received(),
             QStringList{WorkerFixture::hex(SerialPort::buildWriteFloatFrame(1, 0x303E, 6.0f))});
    QCOMPARE(f.bus->floatRegister(1, 0x303E), 6.0f);
    QCOMPARE(LogCapture::count("执行成功"), 1);
}

// The adapter is pulled while the port is open: the worker notices at once, even with nothing
// polled, closes the port (status 2) at idle CPU, drops no controller one by one, and reopens the
// same path by itself when it comes back, unless the operator closed the port meanwhile.
void PollingTest::pulledAdapter_data()
{
    QTest::addColumn<bool>("polling");
    QTest::addColumn<bool>("operatorCloses");
    QTest::newRow("while polling, back by itself") << true << false;
    QTest::newRow("with nothing polled, back by itself") << false << false;
    QTest::newRow("the operator's close ends the wait") << true << true;
}

namespace {

QString statusesOf(const QSignalSpy &status)
{
    QStringList codes;
    for (const QList<QVariant> &emitted : status)
        codes.append(emitted.at(0).toString());
    return QStringLiteral("port statuses: ") + codes.join(' ');
}

} // namespace

void PollingTest::pulledAdapter()
{
    QFETCH(bool, polling);
    QFETCH(bool, operatorCloses);
    WorkerFixture f({1, 2}, {1, 500});
    QCOMPARE(f.openPort(), 1);
    QSignalSpy readings(&f.relay, &WorkerSignals::sendFreshDeviceInformation);
    QSignalSpy dropped(&f.relay, &WorkerSignals::deviceconnectStatus);
    QSignalSpy status(&f.relay, &WorkerSignals::signal_ser_status);
    QSignalSpy lostLink(&f.relay, &WorkerSignals::sig_linkLost);
    if (polling)
        f.poll({1, 2});
    f.worker.startMainTimer(20);
    if (polling)
        QVERIFY(readings.wait());

    f.bus->unplug();
    QTRY_COMPARE_WITH_TIMEOUT(status.count(), 1, 3000);
    QCOMPARE(status.at(0).at(0).toInt(), 2);
    // The two reach this thread through separate hand-overs: under a sanitizer one may lag.
    QTRY_COMPARE(lostLink.count(), 1);
    QTRY_COMPARE(LogCapture::count("串口连接中断"), 1);

    // A setpoint typed meanwhile waits for the adapter, however many ticks pass.
    f.worker.requestSetpoint(1, 1, 9.5f);
    // Lost, the worker sleeps between ticks: no dead descriptor keeps its event loop turning. Its
    // turns are counted, not its CPU time, which a busy machine would share out.
    // The counter is connected and cut on the worker's own thread, where the dispatcher signals.
    std::atomic<int> turns{0};
    QMetaObject::Connection counting;
    f.worker.runOnWorker([&] {
        counting = connect(QAbstractEventDispatcher::instance(&f.worker), &QAbstractEventDispatcher::awake,
                           [&turns] { ++turns; });
    });
    // Nothing may reopen a path that is gone: the status stays "closed" while the adapter is away.
    QVERIFY2(!status.wait(1000), qPrintable(statusesOf(status)));
    f.worker.runOnWorker([&] { disconnect(counting); });
    // A tick every 20 ms and the watch for the adapter every 300 ms wake it a few times each.
    QVERIFY2(turns < 1000, qPrintable(QString("%1 turns of the worker's event loop in 1 s").arg(turns)));
    QCOMPARE(dropped.count(), 0);
    QCOMPARE(f.deviceIds().size(), polling ? 2 : 0);

    if (operatorCloses) {
        QSignalSpy closed(&f.relay, &WorkerSignals::sig_portClosed);
        f.worker.slot_openSer(2, QString(), 0);
        f.worker.runOnWorker([] {});
        // Closed for good: nothing stays switched on to be declared lost once it is reopened.
        QTRY_COMPARE(closed.count(), 1);
        QCOMPARE(f.device(1).polled(), false);
    }
    QVERIFY(f.bus->replug());
    if (operatorCloses) {
        // The watch would have reopened the port within one of its intervals.
        QVERIFY2(!status.wait(4 * LinkWatch::IntervalMs), qPrintable(statusesOf(status)));
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(status.count(), 2, 5000);
    QCOMPARE(status.at(1).at(0).toInt(), 1);
    QVERIFY2(!status.wait(2 * LinkWatch::IntervalMs), qPrintable(statusesOf(status))); // it stays open
    QCOMPARE(LogCapture::count("串口连接恢复"), 1);
    QTRY_COMPARE(f.bus->floatRegister(1, 0x303E), 9.5f);
    if (polling) {
        readings.clear();
        QTRY_VERIFY(readings.count() >= 8);
        QCOMPARE(f.device(1).totalLoss, 0);
    }
    QCOMPARE(dropped.count(), 0);
}

// The operator closes the port while controllers are polled and read back: the worker switches
// their polling off at once, says so before the closed status, and declares none of them lost.
// Reopened, a controller taken online again is polled as before.
void PollingTest::operatorCloseStopsPolling()
{
    WorkerFixture f({1, 2}, {1, 250});
    QCOMPARE(f.openPort(), 1);
    f.poll({1, 2});
    f.tick();
    QStringList order;
    QObject::connect(&f.relay, &WorkerSignals::sig_portClosed, [&] { order << "closed"; });
    QObject::connect(&f.relay, &WorkerSignals::signal_ser_status,
                     [&](int status) { order << QString("status %1").arg(status); });
    QSignalSpy lost(&f.relay, &WorkerSignals::deviceconnectStatus);
    f.worker.slot_showFlowResult(1, 2);
    f.worker.slot_openSer(2, QString(), 0);
    f.bus->clearReceivedFrames();
    f.ticks(8); // more than a loss window of every controller
    QTRY_COMPARE(order, (QStringList{"closed", "status 2"}));
    QCOMPARE(f.device(1).polled(), false);
    QCOMPARE(f.device(2).polled(), false);
    QCOMPARE(f.device(1).totalLoss + f.device(2).totalLoss, 0);
    QCOMPARE(lost.count(), 0);

    QCOMPARE(f.openPort(), 1);
    f.tick();
    QCOMPARE(f.received(), QStringList()); // the dropped read-back is not served on reopening
    QSignalSpy readings(&f.relay, &WorkerSignals::sendFreshDeviceInformation);
    f.worker.slot_onlineDevice(Bus::code(Bus::OnlineRequest::TakeOnline), 1);
    f.tick();
    QTRY_COMPARE(readings.count(), 4);
    QCOMPARE(lost.count(), 0);
}

// Every reading passed on must be a value the controller served for that very register, whatever
// arrives late or runs into the answer. Device 2 stays healthy beside the faulty device 1.
void PollingTest::readingsNeverShift_data()
{
    QTest::addColumn<SimFaults>("faults");
    QTest::addColumn<int>("minReadingsOf1");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("pause");
    // How a late check answer would pass the next check is played to the millisecond by
    // tst_line_sync; here the late answers meet the whole worker.
    const int timeout = Timings().replyTimeout;
    SimFaults lateFlow;
    lateFlow.lateRegister = 0x1000;
    lateFlow.lateMs = timeout + 15;
    SimFaults lateAll;
    lateAll.lateMs = timeout + 5;
    SimFaults decoy;
    decoy.soundFrameBeforeAnswer = true;
    SimFaults stray;
    stray.strayBefore = QByteArray("\x00\xFF", 2);
    QTest::newRow("flow answered just after the timeout") << lateFlow << 1 << 4 << 1;
    QTest::newRow("every answer just after the timeout") << lateAll << 0 << 3 << 1;
    QTest::newRow("a sound frame run into every answer") << decoy << 0 << 3 << 1;
    QTest::newRow("stray bytes before every answer") << stray << 4 * 3 << 6 << 1;
}

void PollingTest::readingsNeverShift()
{
    QFETCH(SimFaults, faults);
    QFETCH(int, minReadingsOf1);
    QFETCH(int, ticks);
    QFETCH(int, pause);
    WorkerFixture f({1, 2}, {pause, Timings().replyTimeout});
    QCOMPARE(f.openPort(), 1);
    f.poll({1, 2});
    f.tick(); // the mode read-backs of both
    f.bus->setFaults(1, faults);
    QList<QList<QVariant>> readings;
    QObject context;
    connect(&f.relay, &WorkerSignals::sendFreshDeviceInformation, &context,
            [&](int type, int id, const QByteArray &reply) {
                readings.append({type, id, reply});
            });
    // A dropped controller is taken online again, as an operator would, so that the fault meets
    // every tick.
    connect(&f.relay, &WorkerSignals::deviceconnectStatus, &context, [&](int id, bool connected) {
        if (!connected)
            f.worker.slot_onlineDevice(2, quint8(id));
    });
    for (int i = 0; i < ticks; ++i) {
        f.tick();
        QCoreApplication::processEvents();
    }
    f.worker.runOnWorker([] {});
    QCoreApplication::processEvents();
    int readingsOf1 = 0;
    int readingsOf2 = 0;
    for (const QList<QVariant> &reading : qAsConst(readings)) {
        const int type = reading.at(0).toInt();
        const quint8 id = quint8(reading.at(1).toInt());
        const QByteArray data = reading.at(2).toByteArray().mid(3, 4);
        QVERIFY2(f.bus->hasServed(id, RegisterMap::readingRegister(type), data),
                 qPrintable(QString("device %1 type %2: %3").arg(id).arg(type).arg(QString(data.toHex()))));
        ++(id == 1 ? readingsOf1 : readingsOf2);
    }
    QVERIFY2(readingsOf1 >= minReadingsOf1, qPrintable(QString::number(readingsOf1)));
    // A late answer of 1 may land in a read of 2 and cost it that reading, never its value.
    QVERIFY2(readingsOf2 > 0, qPrintable(QString::number(readingsOf2)));
}

namespace {

// Posts one request written as "kind address [argument...]".
void post(WorkerFixture &f, const QString &request)
{
    const QStringList p = request.split(' ');
    const quint8 id = quint8(p.value(1).toInt());
    const QString &kind = p.at(0);
    if (kind == "setpoint")
        f.worker.requestSetpoint(id, p.at(2).toInt(), p.at(3).toFloat());
    else if (kind == "ordwrite")
        f.worker.requestOrdinaryWrite(id, p.at(2).toInt(), 1, p.at(3).toInt(), 0);
    else if (kind == "adminwrite")
        f.worker.requestAdminWrite(id, p.at(2).toInt(), 1, p.at(3).toInt(), 0);
    else if (kind == "adminread")
        f.worker.requestAdminRead(id);
    else if (kind == "mode")
        f.worker.slot_responseShowMode(id);
    else if (kind == "online")
        f.worker.slot_onlineDevice(p.at(2).toInt(), id);
    else if (kind == "step")
        f.worker.slot_excuteStep(id, p.at(2).toFloat());
    else if (kind == "lostwrites") {
        SimFaults faults;
        faults.lostWrites = p.at(2).toInt();
        f.bus->setFaults(id, faults);
    }
}

} // namespace

// Requests posted between two ticks; rows name them "kind address [arguments]" and list the
// registers written and read over the next ticks (deduplicated, in order; w: write, r: read).
void PollingTest::requestsKeptPerControllerAndKind_data()
{
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QStringList>("served");
    QTest::newRow("setpoints of two rows in one tick are both written")
        << QStringList{"setpoint 1 1 5.5", "setpoint 2 1 6.5"} << 1 << QStringList{"w1:303e", "w2:303e"};
    QTest::newRow("a newer setpoint of the same controller and kind replaces the older")
        << QStringList{"setpoint 1 1 5.5", "setpoint 1 2 7", "setpoint 1 1 8.5"} << 1
        << QStringList{"w1:3042", "w1:303e"};
    QTest::newRow("two parameter fields committed in one tick are both sent")
        << QStringList{"ordwrite 1 3 40", "ordwrite 1 5 7"} << 1 << QStringList{"w1:3008", "w1:300c"};
    QTest::newRow("mode read-backs of two rows taken online together")
        << QStringList{"mode 1", "mode 2"} << 1 << QStringList{"r1:3000", "r2:3000"};
    QTest::newRow("an administrator write keeps its address when a read for another follows")
        << QStringList{"adminwrite 1 2 5", "adminread 2"} << 1
        << QStringList{"r2:301e", "r2:3020", "r2:3034", "r2:3022", "r2:3026", "r2:302a",
                       "r2:302e", "r2:3032", "r2:3036", "r2:303a", "r2:301c", "w1:3020"};
    QTest::newRow("back online after 断开 reads the mode back")
        << QStringList{"online 1 1", "online 1 3"} << 1
        << QStringList{"r1:3000", "r1:1000", "r1:3046", "r1:1004", "r1:1008"};
    QTest::newRow("back online after 掉线 reads the mode back")
        << QStringList{"online 1 2"} << 1
        << QStringList{"r1:3000", "r1:1000", "r1:3046", "r1:1004", "r1:1008"};
    QTest::newRow("a staged step whose write is lost is tried again")
        << QStringList{"lostwrites 1 2", "step 1 6.5"} << 3 << QStringList{"w1:303e"};
}

void PollingTest::requestsKeptPerControllerAndKind()
{
    QFETCH(QStringList, requests);
    QFETCH(int, ticks);
    QFETCH(QStringList, served);
    WorkerFixture f({1, 2});
    QCOMPARE(f.openPort(), 1);
    f.worker.slot_checkDevices({1, 2});
    f.bus->clearReceivedFrames();
    for (const QString &request : requests)
        post(f, request);
    f.ticks(ticks);
    QCOMPARE(targets(f.bus->receivedFrames()), served);
    for (const QString &request : requests) {
        const QStringList p = request.split(' ');
        if (p.at(0) == "setpoint" && request == requests.last())
            QCOMPARE(f.bus->floatRegister(quint8(p.at(1).toInt()), p.at(2) == "1" ? 0x303E : 0x3042),
                     p.at(3).toFloat());
        if (p.at(0) == "step")
            QCOMPARE(f.bus->floatRegister(quint8(p.at(1).toInt()), 0x303E), p.at(2).toFloat());
    }
}

// A stop (a staged 0) reaches a controller the last scan found even after it was dropped, and
// even once the stage programme has ended; other values go to listed controllers only.
void PollingTest::stagedStopReachesScannedControllers()
{
    WorkerFixture f({1, 2, 3});
    QCOMPARE(f.openPort(), 1);
    f.poll({1, 2});
    f.bus->setFaults(2, refusal());
    QSignalSpy dropped(&f.relay, &WorkerSignals::deviceconnectStatus);
    f.ticks(6);
    QCOMPARE(f.deviceIds(), QList<quint8>{1});
    f.bus->clearFaults();
    f.bus->clearReceivedFrames();
    f.worker.slot_excuteStep(3, 0.0f); // never found by the scan
    f.worker.slot_excuteStep(2, 4.0f); // dropped: only a stop goes to it
    f.worker.slot_excuteStep(2, 0.0f);
    f.worker.slot_startStep(false);
    f.tick();
    QCOMPARE(f.received(0x06),
             QStringList{WorkerFixture::hex(SerialPort::buildWriteFloatFrame(2, 0x303E, 0.0f))});
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(PollingTest)
#include "tst_polling.moc"
