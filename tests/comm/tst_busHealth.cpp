// The diagnostics' parts without a bus: what one exchange counts for, the latency figures over their
// five minutes, the frame lines and decoded values, the advice for a cycle that outruns the tick,
// and the two tables (changed cells only; the newest 10,000 frames, filters, pause and place).

#include "BusHealth.h"
#include "BusHealthWindow.h"
#include "BusLink.h"
#include "BusSummary.h"
#include "HealthTableModel.h"
#include "LinkExchange.h"
#include "OverrunAdvice.h"
#include "RegisterMap.h"
#include "SerialPort.h"
#include "SimBus.h"
#include "TrafficModel.h"

#include <QCheckBox>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(FrameOutcome)

namespace {

using Verdict = LineSync::Verdict;

QByteArray readRequest(quint8 address, quint16 reg, quint16 count = 2)
{
    return SerialPort::appendCrc(SerialPort::buildReadFrame(address, reg, count));
}

QByteArray readReply(quint8 address, quint16 value = 0)
{
    QByteArray reply;
    reply.append(char(address)).append(char(0x03)).append(char(4));
    reply.append(char(value >> 8)).append(char(value & 0xFF)).append(char(0)).append(char(0));
    return SerialPort::appendCrc(reply);
}

ReadTime at(qint64 ms)
{
    return {ms * 1000000, 1700000000000 + ms};
}

LinkExchange exchange(quint8 address, FrameOutcome outcome, qint64 sentMs = 0, qint64 heardMs = 10)
{
    LinkExchange result;
    result.request = readRequest(address, RegisterMap::readingRegister(1));
    result.outcome = outcome;
    if (outcome == FrameOutcome::Answered)
        result.reply = readReply(address);
    result.sentAt = at(sentMs);
    result.heardAt = at(heardMs);
    return result;
}

BusHealth::Controller rowOf(const BusHealth &health, quint8 address, qint64 nowMs = 100)
{
    for (const BusHealth::Controller &row : health.snapshot(nowMs).controllers)
        if (row.address == address)
            return row;
    return {};
}

void list(BusHealth &health, const QList<quint8> &addresses)
{
    QVector<QPair<quint8, BusHealth::State>> rows;
    for (quint8 address : addresses)
        rows.append({address, BusHealth::State::Online});
    health.setControllers(rows);
}

} // namespace

class tst_busHealth : public QObject
{
    Q_OBJECT
private slots:
    void linkReportsEveryExchange_data();
    void linkReportsEveryExchange();
    void latencySpansTheControllersAnswer();
    void exchangeOutcome_data();
    void exchangeOutcome();
    void countsByOutcome_data();
    void countsByOutcome();
    void lateAnswersCountForTheirController();
    void latencyOverFiveMinutes();
    void countsStartAgain_data();
    void countsStartAgain();
    void frameLines_data();
    void frameLines();
    void decodedValues_data();
    void decodedValues();
    void overrunSentence_data();
    void overrunSentence();
    void cyclesAndProbesCount();
    void echoingAdapterIsSaid();
    void healthTableTellsChangedCellsOnly();
    void trafficKeepsTheNewest();
    void trafficFilterAndPause();
    void trafficListKeepsItsPlace();
};

// Through a real port on the simulated bus: a read of controller 2 (with its fault), then one of
// controller 3. What the link reports of the two, in order, as "outcome@address".
void tst_busHealth::linkReportsEveryExchange_data()
{
    QTest::addColumn<SimFaults>("faults");
    QTest::addColumn<bool>("echoingAdapter");
    QTest::addColumn<QStringList>("reported");
    QTest::addColumn<int>("outOfStep"); // of controller 2
    SimFaults none;
    SimFaults silent;
    silent.silent = true;
    SimFaults corrupt;
    corrupt.corruptFraction = 1.0;
    SimFaults refusing;
    refusing.exceptionCode = 4;
    SimFaults late;
    late.lateMs = 250 + 100;
    QTest::newRow("answered") << none << false << QStringList{"answered@2", "answered@3"} << 0;
    QTest::newRow("silent") << silent << false << QStringList{"timeout@2", "answered@3"} << 0;
    QTest::newRow("CRC error") << corrupt << false << QStringList{"CRC error@2", "answered@3"} << 0;
    QTest::newRow("exception") << refusing << false << QStringList{"exception 04@2", "answered@3"} << 0;
    // Each frame comes back from the adapter first: named as its echo, then the answer.
    QTest::newRow("echoing adapter") << none << true
                                     << QStringList{"adapter echo@2", "answered@2", "adapter echo@3",
                                                    "answered@3"}
                                     << 0;
    QTest::newRow("echoing adapter, CRC error")
        << corrupt << true << QStringList{"adapter echo@2", "CRC error@2", "adapter echo@3", "answered@3"}
        << 0;
    // The late answer is heard before the next request goes out, dropped, and named late.
    QTest::newRow("late") << late << false << QStringList{"timeout@2", "late@2", "answered@3"} << 1;
}

void tst_busHealth::linkReportsEveryExchange()
{
    QFETCH(SimFaults, faults);
    QFETCH(bool, echoingAdapter);
    QFETCH(QStringList, reported);
    QFETCH(int, outOfStep);
    QTemporaryDir dir;
    SimBus::Options options;
    options.addresses = {2, 3};
    options.linkPath = dir.filePath(QStringLiteral("bus"));
    options.adapterEchoes = echoingAdapter;
    SimBus bus(options);
    QVERIFY(bus.start());
    bus.setFaults(2, faults);
    BusLink link;
    link.setReplyTimeout(250);
    QVERIFY(link.open(bus.portPath(), 9600));
    BusHealth health;
    QStringList seen;
    link.setObserver([&](const LinkExchange &exchange) {
        health.record(exchange);
        for (const FrameRecord &frame : exchange.frames()) {
            if (frame.direction == FrameRecord::Direction::Received || exchange.reply.isEmpty())
                seen << frame.outcomeText() + QLatin1Char('@') + QString::number(exchange.address());
        }
    });
    QByteArray reply;
    link.readRegisters(2, RegisterMap::readingRegister(1), reply);
    if (faults.lateMs > 0) // the late answer is on the line before the next request
        QTRY_COMPARE(bus.answersSent(), 1);
    link.readRegisters(3, RegisterMap::readingRegister(1), reply);
    QCOMPARE(seen, reported);
    health.setControllers({{2, BusHealth::State::Online}});
    QCOMPARE(rowOf(health, 2).counts.outOfStep, outOfStep);
    link.close();
    bus.stop();
}

// A worker put aside between its write and its read finds the whole answer waiting: the latency
// still runs from before the request went out to after the answer came, never shorter.
void tst_busHealth::latencySpansTheControllersAnswer()
{
    QTemporaryDir dir;
    SimBus::Options options;
    options.addresses = {2};
    options.linkPath = dir.filePath(QStringLiteral("bus"));
    SimBus bus(options);
    QVERIFY(bus.start());
    BusLink link;
    link.setReplyTimeout(250);
    QVERIFY(link.open(bus.portPath(), 9600));
    QList<LinkExchange> exchanges;
    link.setObserver([&exchanges](const LinkExchange &exchange) { exchanges << exchange; });
    const quint16 reg = RegisterMap::readingRegister(1);
    QByteArray reply;
    for (int read = 0; read < 50; ++read)
        QVERIFY(link.readRegisters(2, reg, reply));
    const QList<SimBus::Served> served = bus.servedWithTimes(2, reg);
    QCOMPARE(exchanges.size(), served.size());
    for (int read = 0; read < served.size(); ++read) {
        QVERIFY2(exchanges[read].sentAt.monotonicNs <= served[read].servedNs,
                 qPrintable(QStringLiteral("read %1").arg(read)));
        QVERIFY(served[read].servedNs <= exchanges[read].heardAt.monotonicNs);
        QVERIFY(exchanges[read].latencyMs() > 0);
    }
    link.close();
    bus.stop();
}

void tst_busHealth::exchangeOutcome_data()
{
    QTest::addColumn<Verdict>("verdict");
    QTest::addColumn<bool>("withRequest");
    QTest::addColumn<FrameOutcome>("outcome");
    QTest::addColumn<bool>("replyIsFrame");
    QTest::newRow("answer") << Verdict::Answer << true << FrameOutcome::Answered << true;
    QTest::newRow("exception") << Verdict::Exception << true << FrameOutcome::Exception << true;
    QTest::newRow("no answer") << Verdict::NoAnswer << true << FrameOutcome::Timeout << false;
    QTest::newRow("unsound") << Verdict::Unsound << true << FrameOutcome::CrcError << false;
    QTest::newRow("discarded by a quiet line") << Verdict::Silent << false << FrameOutcome::Late << false;
}

void tst_busHealth::exchangeOutcome()
{
    QFETCH(Verdict, verdict);
    QFETCH(bool, withRequest);
    QFETCH(FrameOutcome, outcome);
    QFETCH(bool, replyIsFrame);
    const QByteArray request = withRequest ? readRequest(4, 0x1000) : QByteArray();
    const QByteArray frame = QByteArray::fromHex("048302c131");
    const QByteArray heard = QByteArray::fromHex("0403040000ffff");
    const LinkExchange made = LinkExchange::of(verdict, request, frame, heard, at(0), at(12));
    QCOMPARE(made.outcome, outcome);
    QCOMPARE(made.reply, verdict == Verdict::NoAnswer ? QByteArray() : replyIsFrame ? frame : heard);
    QCOMPARE(int(made.address()), 4);
    QCOMPARE(made.latencyMs(), 12.0);
    QCOMPARE(made.exceptionCode(), verdict == Verdict::Exception ? 2 : -1);
}

// Every exchange counts once for its outcome; a check that the line is in step counts as out of
// step as well, whatever it came to.
void tst_busHealth::countsByOutcome_data()
{
    QTest::addColumn<FrameOutcome>("outcome");
    QTest::addColumn<bool>("check");
    QTest::addColumn<QList<int>>("counts"); // answered, timeouts, unsound, exceptions, outOfStep
    QTest::newRow("answered") << FrameOutcome::Answered << false << QList<int>{1, 0, 0, 0, 0};
    QTest::newRow("timeout") << FrameOutcome::Timeout << false << QList<int>{0, 1, 0, 0, 0};
    QTest::newRow("CRC error") << FrameOutcome::CrcError << false << QList<int>{0, 0, 1, 0, 0};
    QTest::newRow("exception") << FrameOutcome::Exception << false << QList<int>{0, 0, 0, 1, 0};
    QTest::newRow("answered check") << FrameOutcome::Answered << true << QList<int>{1, 0, 0, 0, 1};
    QTest::newRow("unanswered check") << FrameOutcome::Timeout << true << QList<int>{0, 1, 0, 0, 1};
}

void tst_busHealth::countsByOutcome()
{
    QFETCH(FrameOutcome, outcome);
    QFETCH(bool, check);
    QFETCH(QList<int>, counts);
    BusHealth health;
    list(health, {7, 8});
    LinkExchange done = exchange(7, outcome);
    if (check)
        done.request = SerialPort::buildEchoFrame(7);
    if (outcome == FrameOutcome::Exception)
        done.reply = QByteArray::fromHex("078302");
    health.record(done);
    const BusHealth::Counts got = rowOf(health, 7).counts;
    QCOMPARE((QList<int>{got.answered, got.timeouts, got.unsound, got.exceptions, got.outOfStep}), counts);
    const BusHealth::Counts other = rowOf(health, 8).counts;
    QCOMPARE(other.answered + other.timeouts + other.unsound + other.exceptions + other.outOfStep, 0);
}

// Discarded bytes count for the controller whose whole answer is among them; noise for none.
void tst_busHealth::lateAnswersCountForTheirController()
{
    BusHealth health;
    list(health, {2, 3});
    LinkExchange late;
    late.outcome = FrameOutcome::Late;
    late.reply = QByteArray::fromHex("ff00") + readReply(3);
    health.record(late);
    late.reply = QByteArray::fromHex("0203ff00");
    health.record(late);
    QCOMPARE(rowOf(health, 3).counts.outOfStep, 1);
    QCOMPARE(rowOf(health, 2).counts.outOfStep, 0);
}

// Median and 95th percentile by nearest rank, of the answers of the last five minutes only.
void tst_busHealth::latencyOverFiveMinutes()
{
    BusHealth health;
    list(health, {1});
    health.record(exchange(1, FrameOutcome::Answered, 0, 500)); // 500 ms, five minutes old soon
    for (int k = 1; k <= 20; ++k)
        health.record(exchange(1, FrameOutcome::Answered, 1000 * k, 1000 * k + k));
    health.record(exchange(1, FrameOutcome::Timeout, 30000, 30250)); // no latency
    BusHealth::Controller row = rowOf(health, 1, 20000);
    QCOMPARE(row.latencies, 21);
    QCOMPARE(row.latencyMedianMs, 11.0);
    QCOMPARE(row.latencyP95Ms, 20.0);
    row = rowOf(health, 1, BusHealth::kLatencyWindowMs + 1000);
    QCOMPARE(row.latencies, 20);
    QCOMPARE(row.latencyMedianMs, 10.0);
    QCOMPARE(row.latencyP95Ms, 19.0);
    QCOMPARE(rowOf(health, 1, BusHealth::kLatencyWindowMs + 30000).latencies, 0);
}

void tst_busHealth::countsStartAgain_data()
{
    QTest::addColumn<bool>("byOpening");
    QTest::newRow("清零") << false;
    QTest::newRow("port opened") << true;
}

void tst_busHealth::countsStartAgain()
{
    QFETCH(bool, byOpening);
    BusHealth health;
    list(health, {1});
    health.record(exchange(1, FrameOutcome::Timeout));
    health.record(exchange(1, FrameOutcome::Answered));
    health.writeFailed(1, false);
    health.writeFailed(1, true);
    health.readingTaken(1, 1700000000000);
    health.linkLost();
    health.linkReopened();
    health.cycleDone(150, 1000);
    BusHealth::Controller row = rowOf(health, 1);
    QCOMPARE(row.counts.writeRetries, 1);
    QCOMPARE(row.counts.writeFailures, 1);
    QCOMPARE(health.snapshot(0).bus.linkLosses, 1);
    QCOMPARE(health.snapshot(0).bus.cycleMs, qint64(1500));
    if (byOpening)
        health.portOpened();
    else
        health.clear();
    row = rowOf(health, 1);
    QCOMPARE(row.counts.timeouts + row.counts.answered + row.counts.writeRetries + row.counts.writeFailures,
             0);
    QCOMPARE(row.latencies, 0);
    QCOMPARE(row.lastReadingWallMs, qint64(1700000000000)); // the last reading stays what it was
    QCOMPARE(health.snapshot(0).bus.linkLosses, 0);
    QCOMPARE(health.snapshot(0).bus.reopenings, 0);
    QCOMPARE(health.snapshot(0).bus.cycleMs, qint64(1500));
}

void tst_busHealth::frameLines_data()
{
    QTest::addColumn<FrameOutcome>("outcome");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("lines");
    const auto hex = [](const QByteArray &bytes) { return QString::fromLatin1(bytes.toHex(' ').toUpper()); };
    const QString sent = QStringLiteral(" TX 3 03 ") + hex(readRequest(3, 0x1000)) + QLatin1Char(' ');
    const QString answer = QStringLiteral(" RX 3 03 ") + hex(readReply(3)) + QLatin1Char(' ');
    const QByteArray refusal = QByteArray::fromHex("038302");
    QTest::newRow("answered") << FrameOutcome::Answered << readReply(3)
                              << QStringList{sent + "answered", answer + "answered"};
    QTest::newRow("timeout") << FrameOutcome::Timeout << QByteArray() << QStringList{sent + "timeout"};
    QTest::newRow("CRC error") << FrameOutcome::CrcError << readReply(3)
                               << QStringList{sent + "CRC error", answer + "CRC error"};
    QTest::newRow("exception") << FrameOutcome::Exception << refusal
                               << QStringList{sent + "exception 02", " RX 3 83 03 83 02 exception 02"};
}

void tst_busHealth::frameLines()
{
    QFETCH(FrameOutcome, outcome);
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, lines);
    LinkExchange done = exchange(3, outcome);
    done.reply = reply;
    const QVector<FrameRecord> frames = done.frames();
    QCOMPARE(frames.size(), lines.size());
    for (int k = 0; k < frames.size(); ++k) {
        const QString line = frames[k].line();
        QVERIFY(QTime::fromString(line.left(12), QStringLiteral("hh:mm:ss.zzz")).isValid());
        QCOMPARE(line.mid(12), lines[k]);
    }
}

// Beside the bytes, what a write or a read answer says: a polled quantity in its display unit.
void tst_busHealth::decodedValues_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<FrameOutcome>("outcome");
    QTest::addColumn<QStringList>("texts");
    const auto answer = [](const QByteArray &data) {
        return SerialPort::appendCrc(QByteArray::fromHex("030304") + data);
    };
    QTest::newRow("setpoint written") << SerialPort::buildWriteFloatFrame(3, RegisterMap::InstantSetpoint, 50)
                                      << QByteArray() << FrameOutcome::Timeout << QStringList{"0x303E = 50"};
    QTest::newRow("mode written") << SerialPort::buildWriteInt16Frame(3, RegisterMap::ControlMode, 1)
                                  << QByteArray() << FrameOutcome::Timeout << QStringList{"0x3000 = 1"};
    QTest::newRow("flow read") << readRequest(3, RegisterMap::InstantFlow) << answer(float_to_bytes(12.5f))
                               << FrameOutcome::Answered << QStringList{"0x1000", "0x1000 = 12.5"};
    QTest::newRow("pressure read in KPa")
        << readRequest(3, RegisterMap::Pressure) << answer(float_to_bytes(101325)) << FrameOutcome::Answered
        << QStringList{"0x1008", "0x1008 = 101.325"};
    QTest::newRow("mode read back") << readRequest(3, RegisterMap::ControlMode)
                                    << answer(uint16_to_bytes(2) + QByteArray(2, 0)) << FrameOutcome::Answered
                                    << QStringList{"0x3000", "0x3000 = 2"};
    QTest::newRow("unsound answer says nothing")
        << readRequest(3, RegisterMap::InstantFlow) << answer(float_to_bytes(12.5f)) << FrameOutcome::CrcError
        << QStringList{"0x1000", ""};
}

void tst_busHealth::decodedValues()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(FrameOutcome, outcome);
    QFETCH(QStringList, texts);
    LinkExchange done = exchange(3, outcome);
    done.request = request;
    done.reply = reply;
    QStringList got;
    for (const FrameRecord &frame : done.frames())
        got << frame.decoded.text();
    QCOMPARE(got, texts);
}

// A cycle outrunning the tick is said; one controller whose answers alone stretch it is named.
// Controllers as "address:median ms:answers in the last cycle".
void tst_busHealth::overrunSentence_data()
{
    QTest::addColumn<double>("usage");
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("tick");
    QTest::addColumn<QString>("controllers");
    QTest::addColumn<QString>("sentence");
    const auto slow = [](int address, int ms) {
        return QStringLiteral("设备%1的应答延迟中位 %2 ms，高于其他设备：检查该设备或增大查询等待时间")
            .arg(address)
            .arg(ms);
    };
    const QString full =
        QStringLiteral("轮询一周比读取节拍（1000 ms）长：每个控制器的读数间隔都超过了 1000 ms。"
                       "提高波特率、缩短查询间隔或减少在线的控制器可以缩短轮询。");
    QTest::newRow("one late controller") << 175.0 << 1000 << 1000 << "1:2:4 2:3:4 3:420:4" << slow(3, 420);
    QTest::newRow("rounded median") << 170.0 << 1000 << 1000 << "1:400.4:4 2:3:4 3:3:4" << slow(1, 400);
    QTest::newRow("not read in the last cycle, not to blame")
        << 170.0 << 1000 << 1000 << "1:400:4 2:3:4 9:900:0" << slow(1, 400);
    QTest::newRow("past the query period, within the tick")
        << 239.0 << 100 << 1000 << "1:2:4 2:3:4" << QString();
    QTest::newRow("fifteen alike at 9600 baud")
        << 183.0 << 1000 << 1000
        << "1:25:4 2:25:4 3:25:4 4:25:4 5:25:4 6:25:4 7:25:4 8:25:4 9:25:4 10:25:4 11:25:4 12:25:4 13:25:4 "
           "14:25:4 15:25:4"
        << full;
    QTest::newRow("two late controllers") << 250.0 << 1000 << 1000 << "1:300:4 2:300:4 3:3:4" << full;
    QTest::newRow("slowest, but the cycle is long without it")
        << 150.0 << 1000 << 1000 << "1:100:4 2:80:4 3:90:4 4:95:4" << full;
    QTest::newRow("a lone controller is slower than no other") << 170.0 << 1000 << 1000 << "1:400:4" << full;
    QTest::newRow("within the tick") << 90.0 << 1000 << 1000 << "1:2:4 2:200:4" << QString();
    QTest::newRow("no tick yet") << 170.0 << 1000 << 0 << "1:400:4 2:3:4" << QString();
    QTest::newRow("no period to go by") << 0.0 << 0 << 1000 << "1:400:4 2:3:4" << QString();
}

void tst_busHealth::overrunSentence()
{
    QFETCH(double, usage);
    QFETCH(int, period);
    QFETCH(int, tick);
    QFETCH(QString, controllers);
    QFETCH(QString, sentence);
    BusHealth health;
    health.cycleDone(usage, period);
    health.setLinkSettings(QString(), 9600, 500, tick);
    BusHealth::Snapshot snapshot = health.snapshot(0);
    for (const QString &polled : controllers.split(QLatin1Char(' '))) {
        BusHealth::Controller row;
        row.address = quint8(polled.section(QLatin1Char(':'), 0, 0).toInt());
        row.lastCycleMedianMs = polled.section(QLatin1Char(':'), 1, 1).toDouble();
        row.answersLastCycle = polled.section(QLatin1Char(':'), 2, 2).toInt();
        snapshot.controllers.append(row);
    }
    QCOMPARE(OverrunAdvice::sentence(snapshot), sentence);
    QCOMPARE(BusSummary::cycle(snapshot.bus), period > 0 ? QStringLiteral("轮询一周：%1 ms（查询周期 %2 ms）")
                                                               .arg(qint64(usage * period / 100))
                                                               .arg(period)
                                                         : QStringLiteral("轮询一周：-（查询周期 0 ms）"));
}

// Each cycle hands its count of answers per controller and their median latency on when it ends; a scan's
// probes count for their addresses, which, asked for, are listed after the polled controllers.
void tst_busHealth::cyclesAndProbesCount()
{
    BusHealth health;
    list(health, {2});
    for (int heardMs : {10, 300, 20})
        health.record(exchange(2, FrameOutcome::Answered, 0, heardMs));
    health.record(exchange(2, FrameOutcome::Timeout));
    QCOMPARE(rowOf(health, 2).answersLastCycle, 0);
    health.cycleDone(50, 1000);
    health.record(exchange(2, FrameOutcome::Answered, 0, 400));
    QCOMPARE(rowOf(health, 2).answersLastCycle, 3);
    QCOMPARE(rowOf(health, 2).lastCycleMedianMs, 20.0);
    health.cycleDone(50, 1000);
    QCOMPARE(rowOf(health, 2).answersLastCycle, 1);
    QCOMPARE(rowOf(health, 2).lastCycleMedianMs, 400.0);
    health.probed(5, false);
    health.probed(2, true);
    QCOMPARE(health.snapshot(0).controllers.size(), 1);
    const QVector<BusHealth::Controller> all = health.snapshot(100, true).controllers;
    QCOMPARE(all.size(), 15);
    QCOMPARE((QList<int>{all[0].address, all[1].address, all[4].address}), (QList<int>{2, 1, 5}));
    QCOMPARE(all[4].counts.timeouts, 1);
    QCOMPARE(all[4].state, BusHealth::State::Offline);
    QCOMPARE(all[0].counts.answered, 5);
}

// The flag comes from the link's own finding; the frame it marks is named as an echo.
void tst_busHealth::echoingAdapterIsSaid()
{
    BusHealth health;
    QCOMPARE(BusSummary::echo(health.snapshot(0).bus), QStringLiteral("回显适配器：否"));
    health.setEchoingAdapter(true);
    QCOMPARE(BusSummary::echo(health.snapshot(0).bus), QStringLiteral("回显适配器：是"));
    FrameRecord echo;
    echo.outcome = FrameOutcome::AdapterEcho;
    QCOMPARE(echo.outcomeText(), QStringLiteral("adapter echo"));
    QCOMPARE(TrafficModel::outcomeCaption(echo), QStringLiteral("适配器回显"));
    echo.outcome = FrameOutcome::Late;
    QCOMPARE(echo.outcomeText(), QStringLiteral("late/discarded"));
    QCOMPARE(TrafficModel::outcomeCaption(echo), QStringLiteral("迟到/丢弃"));
    echo.bytes = SerialPort::appendCrc(QByteArray::fromHex("010304000000"));
    QCOMPARE(echo.outcomeText(), QStringLiteral("late"));
    QCOMPARE(TrafficModel::outcomeCaption(echo), QStringLiteral("迟到"));
}

// A refresh that changes two counts tells the view of those two cells; one that changes nothing,
// of none; another set of controllers resets the table.
void tst_busHealth::healthTableTellsChangedCellsOnly()
{
    BusHealth health;
    list(health, {1, 2, 3});
    HealthTableModel model;
    model.show(health.snapshot(0));
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.columnCount(), 12);
    QCOMPARE(model.text(1, 1), QStringLiteral("在线"));
    QSignalSpy changed(&model, &HealthTableModel::dataChanged);
    QSignalSpy reset(&model, &HealthTableModel::modelReset);
    model.show(health.snapshot(0));
    QCOMPARE(changed.count(), 0);
    health.record(exchange(2, FrameOutcome::Timeout));
    health.record(exchange(2, FrameOutcome::CrcError));
    model.show(health.snapshot(0));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed[0][0].toModelIndex(), model.index(1, 3));
    QCOMPARE(changed[1][0].toModelIndex(), model.index(1, 4));
    QCOMPARE(model.text(1, 3), QStringLiteral("1"));
    QCOMPARE(reset.count(), 0);
    health.setControllers({{1, BusHealth::State::Dropped}, {2, BusHealth::State::Offline}});
    model.show(health.snapshot(0));
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.text(0, 1), QStringLiteral("掉线"));
    QCOMPARE(model.text(1, 1), QStringLiteral("离线"));
}

void tst_busHealth::trafficKeepsTheNewest()
{
    TrafficModel model;
    FrameRecord frame;
    const int total = TrafficModel::kKept + 2500;
    for (int k = 0; k < total; ++k) {
        frame.wallMs = k;
        frame.address = quint8(1 + k % 3);
        model.append({frame});
        if (k % 1000 == 999)
            model.flush();
    }
    model.flush();
    QCOMPARE(model.rowCount(), TrafficModel::kKept);
    QCOMPARE(model.keptCount(), TrafficModel::kKept);
    QCOMPARE(model.frameAt(0).wallMs, qint64(total - TrafficModel::kKept));
    QCOMPARE(model.frameAt(model.rowCount() - 1).wallMs, qint64(total - 1));
}

void tst_busHealth::trafficFilterAndPause()
{
    TrafficModel model;
    FrameRecord frame;
    for (int k = 0; k < 9; ++k) {
        frame.wallMs = k;
        frame.address = quint8(1 + k % 3);
        model.append({frame});
    }
    QCOMPARE(model.rowCount(), 0); // shown with the next batch
    QTRY_COMPARE(model.rowCount(), 9);
    model.setAddressFilter(2);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.frameAt(2).wallMs, qint64(7));
    model.setPaused(true);
    frame.address = 2;
    model.append({frame});
    model.flush();
    QCOMPARE(model.rowCount(), 3);
    model.setPaused(false);
    QCOMPARE(model.rowCount(), 4);
    model.setAddressFilter(0);
    QCOMPARE(model.rowCount(), 10);
    QCOMPARE(model.data(model.index(9, 1)).toString(), QStringLiteral("发送"));
    QCOMPARE(model.data(model.index(9, 5)).toString(), QStringLiteral("应答"));
    QCOMPARE(model.lines().size(), 10);
}

// The traffic tab fed straight: it follows the newest frames; scrolled up, it keeps its top frame
// in place while new frames come, the oldest make way and the filter changes.
void tst_busHealth::trafficListKeepsItsPlace()
{
    BusHealthWindow window;
    window.findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(1);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *view = window.findChild<QTableView *>(QStringLiteral("table_traffic"));
    TrafficModel &traffic = *window.trafficModel();
    qint64 wallMs = 0;
    const auto feed = [&](int count) {
        std::vector<FrameRecord> frames(static_cast<size_t>(count));
        for (FrameRecord &frame : frames) {
            frame.wallMs = wallMs++;
            frame.outcome = wallMs % 5 == 0 ? FrameOutcome::Timeout : FrameOutcome::Answered;
        }
        traffic.append(frames);
        traffic.flush();
    };
    const auto newestInView = [&] {
        const QRect last = view->visualRect(traffic.index(traffic.rowCount() - 1, 0));
        return view->viewport()->rect().contains(last.center());
    };
    for (int batch = 0; batch < 3; ++batch) {
        feed(200);
        QTRY_VERIFY(newestInView());
    }

    view->verticalScrollBar()->setValue(300);
    const qint64 top = traffic.numberAt(view->rowAt(0));
    feed(TrafficModel::kKept - 400); // the oldest 200 make way
    QTRY_COMPARE(traffic.numberAt(0), qint64(200));
    QCOMPARE(traffic.numberAt(view->rowAt(0)), top);
    auto *errorsOnly = window.findChild<QCheckBox *>(QStringLiteral("check_errorsOnly"));
    errorsOnly->setChecked(true);
    QCOMPARE(view->rowAt(0), traffic.rowFrom(top));
    QVERIFY(traffic.numberAt(view->rowAt(0)) > top);
    errorsOnly->setChecked(false);
    QCOMPARE(traffic.numberAt(view->rowAt(0)), top);

    view->scrollToBottom();
    feed(100);
    QTRY_VERIFY(newestInView());
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_busHealth)
#include "tst_busHealth.moc"
