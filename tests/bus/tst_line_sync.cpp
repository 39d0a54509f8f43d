// The rules that keep the line in step, replayed from scripts of bytes and times: which bytes
// answer a request, when an answer counts, which controller is checked before it is read again and
// how it is checked, and what an adapter that echoes the host's bytes hands back. No port and no
// real waiting: the clock moves only as the script says, so every figure below is exact.

#include "LineScript.h"

#include <QtTest>

using Verdict = LineSync::Verdict;
using Chunks = LineScript::Chunks;

namespace {

constexpr int kTimeoutMs = 250;

QByteArray reading(float value = 42.5f)
{
    return LineScript::readReply(1, value);
}

QByteArray corrupted(QByteArray frame)
{
    frame[frame.size() - 1] = char(frame[frame.size() - 1] ^ 0x5A);
    return frame;
}

// The line and its sync at the usual settings, the clock at the start of the script.
struct Line
{
    explicit Line(int baud = 9600)
    {
        sync.setBaudRate(baud);
        sync.setReplyTimeout(kTimeoutMs);
    }
    // A read of two registers at controller 1, as the link asks it, answered with these chunks;
    // `verdictAtMs` receives the time of the verdict, from the request.
    Verdict read(const Chunks &answer = {}, double *verdictAtMs = nullptr)
    {
        const Verdict verdict = script.exchange(sync, ReplyRecognizer::forRead(1), answer);
        if (verdictAtMs)
            *verdictAtMs = script.nowMs() - script.sentAtMs().last();
        return verdict;
    }
    // The check of the line: controller 1's discovery echo.
    Verdict check(const Chunks &answer = {})
    {
        return script.exchange(sync, ReplyRecognizer::forEcho(checkRequest()), answer, checkRequest());
    }
    static QByteArray checkRequest() { return SerialPort::buildEchoFrame(1); }

    LineScript script;
    LineSync sync{script.clock()};
};

} // namespace

class LineSyncTest : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void silenceAtEveryBaudRate_data();
    void silenceAtEveryBaudRate();
    void endlessStreamIsCutAtTheTimeout();
    void lateReadAnswerCannotPassTheCheck();
    void lateCheckAnswerIsNeverTakenForAReading();
    void checkGivesUpAfterOneTimeout();
    void adapterCopyIsDroppedBeforeTheReply_data();
    void adapterCopyIsDroppedBeforeTheReply();
    void staleBytesBeforeARequest_data();
    void staleBytesBeforeARequest();
    void checkVerdicts_data();
    void checkVerdicts();
    void pauseCountsTheSilenceAfterTheAnswer();
};

// The answer to a read of two registers at controller 1 (9 bytes), at 9600 baud: 3.5 characters
// are 3.65 ms, waited as 4 whole ms. The time is that of the verdict, from the request.
void LineSyncTest::answers_data()
{
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<Verdict>("verdict");
    QTest::addColumn<double>("verdictAtMs");
    QTest::addColumn<QByteArray>("frame");
    const QByteArray answer = reading();
    const QByteArray decoy = LineScript::readReply(1, -9999.0f);
    const QByteArray exception = LineScript::exceptionReply(1, 0x03, 2);

    QTest::newRow("whole answer, then silence") << Chunks{{5, answer}} << Verdict::Answer << 9.0 << answer;
    QTest::newRow("chunks of 5 and 4 bytes, 3 ms apart, make one answer")
        << Chunks{{5, answer.left(5)}, {3, answer.mid(5)}} << Verdict::Answer << 12.0 << answer;
    QTest::newRow("a frame is judged when whole, not by the gaps inside it")
        << Chunks{{5, answer.left(5)}, {30, answer.mid(5)}} << Verdict::Answer << 39.0 << answer;
    QTest::newRow("a byte within 3.5 characters after the answer spoils it")
        << Chunks{{5, answer}, {3, QByteArray(1, '\0')}} << Verdict::Unsound << 12.0 << QByteArray();
    QTest::newRow("a byte after the silence belongs to what follows")
        << Chunks{{5, answer}, {5, QByteArray(1, '\0')}} << Verdict::Answer << 9.0 << answer;
    QTest::newRow("a stray byte before the answer is tolerated")
        << Chunks{{5, "\xFF" + answer}} << Verdict::Answer << 9.0 << answer;
    QTest::newRow("32 stray bytes are tolerated")
        << Chunks{{5, QByteArray(32, '\x55') + answer}} << Verdict::Answer << 9.0 << answer;
    QTest::newRow("33 stray bytes are not") << Chunks{{5, QByteArray(33, '\x55') + answer}} << Verdict::Unsound
                                            << 9.0 << QByteArray();
    // Either frame could answer this request: one of them is a late answer to an earlier one.
    QTest::newRow("a sound frame run into the answer")
        << Chunks{{5, decoy + answer}} << Verdict::Unsound << 9.0 << QByteArray();
    QTest::newRow("the same frame, apart, is still one frame too many")
        << Chunks{{5, decoy}, {3, answer}} << Verdict::Unsound << 12.0 << QByteArray();
    QTest::newRow("an exception reply ends the wait at once")
        << Chunks{{5, exception}} << Verdict::Exception << 9.0 << exception;
    QTest::newRow("an exception reply after stray bytes")
        << Chunks{{5, QByteArray("\x00\xFF", 2) + exception}} << Verdict::Exception << 9.0 << exception;
    QTest::newRow("nothing: no answer at the timeout") << Chunks{} << Verdict::NoAnswer << 250.0 << QByteArray();
    QTest::newRow("half an answer is unsound at the timeout")
        << Chunks{{5, answer.left(5)}} << Verdict::Unsound << 250.0 << QByteArray();
    QTest::newRow("a wrong CRC") << Chunks{{5, corrupted(answer)}} << Verdict::Unsound << 9.0 << QByteArray();
    // A neighbour's sound frame is set aside and the wait goes on; a spoilt one ends it.
    const QByteArray neighbours = LineScript::readReply(2, 1.0f);
    QTest::newRow("another controller's answer alone: the wait goes on")
        << Chunks{{5, neighbours}} << Verdict::NoAnswer << 250.0 << QByteArray();
    QTest::newRow("another controller's answer, then the answer")
        << Chunks{{5, neighbours}, {8, answer}} << Verdict::Answer << 17.0 << answer;
    QTest::newRow("another controller's answer run into the answer")
        << Chunks{{5, neighbours + answer}} << Verdict::Answer << 9.0 << answer;
    QTest::newRow("another controller's spoilt answer ends the wait")
        << Chunks{{5, corrupted(neighbours)}, {8, answer}} << Verdict::Unsound << 9.0 << QByteArray();
    QTest::newRow("an answer after the timeout is no answer")
        << Chunks{{260, answer}} << Verdict::NoAnswer << 250.0 << QByteArray();
}

void LineSyncTest::answers()
{
    QFETCH(Chunks, chunks);
    QFETCH(Verdict, verdict);
    QFETCH(double, verdictAtMs);
    QFETCH(QByteArray, frame);
    Line line;
    double at = 0;
    QCOMPARE(line.read(chunks, &at), verdict);
    QCOMPARE(at, verdictAtMs);
    QCOMPARE(line.sync.frame(), frame);
    // Only a read that got an answer of its own leaves its controller in step.
    line.sync.readDone(1, verdict);
    QCOMPARE(line.sync.inStep(1), verdict == Verdict::Answer || verdict == Verdict::Exception);
}

// The silence that ends a frame is 3.5 characters, at least 1.75 ms, waited in whole ms: a byte
// that comes within that wait joins the frame, one that comes after it does not.
void LineSyncTest::silenceAtEveryBaudRate_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<double>("silenceMs");
    QTest::addColumn<double>("gapMs");
    QTest::addColumn<bool>("joins");
    QTest::newRow("1200 baud, 29 ms after") << 1200 << 29.1667 << 29.0 << true;
    QTest::newRow("1200 baud, 31 ms after") << 1200 << 29.1667 << 31.0 << false;
    QTest::newRow("9600 baud, 3.5 ms after") << 9600 << 3.6458 << 3.5 << true;
    QTest::newRow("9600 baud, 4.5 ms after") << 9600 << 3.6458 << 4.5 << false;
    QTest::newRow("19200 baud, 1.5 ms after") << 19200 << 1.8229 << 1.5 << true;
    QTest::newRow("19200 baud, 2.5 ms after") << 19200 << 1.8229 << 2.5 << false;
    QTest::newRow("115200 baud waits the least silence, 1.5 ms after") << 115200 << 1.75 << 1.5 << true;
    QTest::newRow("115200 baud, 2.5 ms after") << 115200 << 1.75 << 2.5 << false;
}

void LineSyncTest::silenceAtEveryBaudRate()
{
    QFETCH(int, baud);
    QFETCH(double, silenceMs);
    QFETCH(double, gapMs);
    QFETCH(bool, joins);
    Line line(baud);
    QVERIFY(qAbs(line.sync.silenceMs() - silenceMs) < 0.001);
    // Split in two at the silence's length: still one frame, judged when whole.
    QCOMPARE(line.read({{5, reading().left(4)}, {gapMs, reading().mid(4)}}), Verdict::Answer);
    // A byte after the whole answer.
    QCOMPARE(line.read({{5, reading()}, {gapMs, QByteArray(1, '\x55')}}), joins ? Verdict::Unsound : Verdict::Answer);
    QCOMPARE(line.script.pending(), !joins); // a byte that did not join waits for the next request
}

// A peer that never stops sending: the answer is given up at the reply timeout and the line is
// not taken for free while the stream lasts; once it ends, the line serves again.
void LineSyncTest::endlessStreamIsCutAtTheTimeout()
{
    Line line;
    const double streamMs = 2000;
    Chunks stream; // from 1 ms after the request, about the wire rate of a fast adapter
    for (double at = 1; at < streamMs; at += 1)
        stream.append({1, QByteArray(128, '\x55')});
    double at = 0;
    QCOMPARE(line.read(stream, &at), Verdict::Unsound);
    QVERIFY2(at > kTimeoutMs && at <= kTimeoutMs + 1, qPrintable(QString::number(at)));

    // Before the next request: more than the read buffer holds, or a reply timeout without
    // silence, whichever comes first, and the line is busy.
    const double before = line.script.nowMs();
    line.sync.beginQuiet();
    QCOMPARE(line.script.run(line.sync), Verdict::Busy);
    const double quietFor = line.script.nowMs() - before;
    QVERIFY2(quietFor <= kTimeoutMs + 1, qPrintable(QString::number(quietFor)));

    Verdict verdict = Verdict::Busy;
    for (int attempt = 0; attempt < 1000 && verdict == Verdict::Busy; ++attempt) {
        line.sync.beginQuiet();
        verdict = line.script.run(line.sync);
    }
    QCOMPARE(verdict, Verdict::Silent);
    QVERIFY(!line.script.pending());
    QVERIFY(line.script.nowMs() - line.script.sentAtMs().first() >= streamMs);
    QCOMPARE(line.read({{5, reading(7.0f)}}), Verdict::Answer);
    QCOMPARE(bytes_to_float(line.sync.frame(), 3), 7.0f);
}

// The first read's answer comes 50 ms after its wait, while the check of the line is under way:
// a read reply can never answer a check, so it is set aside and the check waits on for its own
// echo, which the controller sends after it. The late reading is never a value, and the read after
// the check gets its own answer.
void LineSyncTest::lateReadAnswerCannotPassTheCheck()
{
    Line line;
    QCOMPARE(line.read({{kTimeoutMs + 50, reading(11.5f)}}), Verdict::NoAnswer);
    line.sync.readDone(1, Verdict::NoAnswer);
    QVERIFY(!line.sync.inStep(1));
    const Verdict checked = line.check({{60, Line::checkRequest()}});
    QCOMPARE(checked, Verdict::Answer);
    QCOMPARE(line.sync.foreignFrames(), QList<QByteArray>{reading(11.5f)});
    QCOMPARE(line.sync.checkDone(1, checked), LineSync::Check::InStep);
    QVERIFY(!line.script.pending());
    QCOMPARE(line.read({{5, reading(22.5f)}}), Verdict::Answer);
    QCOMPARE(bytes_to_float(line.sync.frame(), 3), 22.5f);
}

// A check answered late (1.5 timeouts after it went out) passes the next check, sent at once; the
// next check's own echo then comes in front of the next reading, and a reading never takes it.
void LineSyncTest::lateCheckAnswerIsNeverTakenForAReading()
{
    Line line;
    QCOMPARE(line.read(), Verdict::NoAnswer);
    line.sync.readDone(1, Verdict::NoAnswer);
    const Verdict late = line.check({{1.5 * kTimeoutMs, Line::checkRequest()}});
    QCOMPARE(line.sync.checkDone(1, late), LineSync::Check::GiveUp);
    QVERIFY(!line.sync.inStep(1));
    QVERIFY(line.script.pending());

    const Verdict taken = line.check({{kTimeoutMs - 50, Line::checkRequest()}});
    QCOMPARE(line.sync.checkDone(1, taken), LineSync::Check::InStep);
    QVERIFY(line.script.pending()); // this check's own echo is still on its way
    QCOMPARE(line.read({{kTimeoutMs - 20, reading(22.5f)}}), Verdict::Answer);
    QVERIFY(!line.script.pending());
    QCOMPARE(bytes_to_float(line.sync.frame(), 3), 22.5f);
}

// A silent controller: the check goes out as soon as the line is quiet after the failed read, and
// is given up after one reply timeout; the loss rule decides about the controller.
void LineSyncTest::checkGivesUpAfterOneTimeout()
{
    Line line;
    QCOMPARE(line.read(), Verdict::NoAnswer);
    line.sync.readDone(1, Verdict::NoAnswer);
    const double failedAt = line.script.nowMs();
    const Verdict checked = line.check();
    QCOMPARE(checked, Verdict::NoAnswer);
    QCOMPARE(line.sync.checkDone(1, checked), LineSync::Check::GiveUp);
    QCOMPARE(line.script.nowMs() - failedAt, kTimeoutMs + 4.0); // the silence after the read, one timeout
    QVERIFY(!line.sync.inStep(1));
}

// An adapter that hands the host's bytes back: its copy of the request, whole at the start of what
// comes back, is no reply. A read whose reply begins with the read request shows that the adapter
// echoes (a controller never sends a request); a write's or a check's copy is the very bytes the
// controller echoes, so it is dropped only once the adapter is known to echo.
void LineSyncTest::adapterCopyIsDroppedBeforeTheReply_data()
{
    QTest::addColumn<bool>("knownToEcho");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<Verdict>("verdict");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("echoesAfter");
    const QByteArray read = SerialPort::appendCrc(SerialPort::buildReadFrame(1, 0x1000, 2));
    const QByteArray write = SerialPort::buildWriteFloatFrame(1, 0x303E, 5.0f);
    const QByteArray check = Line::checkRequest();
    const QByteArray answer = reading();
    const QByteArray none;

    QTest::newRow("read: the copy, then the reading; the adapter echoes")
        << false << read << Chunks{{9, read}, {20, answer}} << Verdict::Answer << answer << true;
    QTest::newRow("read: the copy in two pieces, then the reading")
        << false << read << Chunks{{5, read.left(3)}, {2, read.mid(3)}, {20, answer}} << Verdict::Answer
        << answer << true;
    QTest::newRow("read: the copy alone is no answer")
        << false << read << Chunks{{9, read}} << Verdict::NoAnswer << none << true;
    QTest::newRow("read: a plain adapter, the reading alone")
        << false << read << Chunks{{9, answer}} << Verdict::Answer << answer << false;
    QTest::newRow("read: an echoing adapter whose copy got lost")
        << true << read << Chunks{{29, answer}} << Verdict::Answer << answer << true;
    QTest::newRow("write, echoing adapter: the copy, then the controller's echo")
        << true << write << Chunks{{11, write}, {22, write}} << Verdict::Answer << write << true;
    QTest::newRow("write, echoing adapter: the copy alone, the controller never heard it")
        << true << write << Chunks{{11, write}} << Verdict::NoAnswer << none << true;
    QTest::newRow("write, plain adapter: the controller's echo")
        << false << write << Chunks{{22, write}} << Verdict::Answer << write << false;
    // Why the link asks the adapter at opening: unknown, its copy passes for the controller's echo.
    QTest::newRow("write, echoing adapter not yet found: the copy looks like the echo")
        << false << write << Chunks{{11, write}} << Verdict::Answer << write << false;
    QTest::newRow("check, echoing adapter: the copy, then the controller's echo")
        << true << check << Chunks{{9, check}, {20, check}} << Verdict::Answer << check << true;
    QTest::newRow("check, echoing adapter: the copy alone")
        << true << check << Chunks{{9, check}} << Verdict::NoAnswer << none << true;
}

void LineSyncTest::adapterCopyIsDroppedBeforeTheReply()
{
    QFETCH(bool, knownToEcho);
    QFETCH(QByteArray, request);
    QFETCH(Chunks, chunks);
    QFETCH(Verdict, verdict);
    QFETCH(QByteArray, frame);
    QFETCH(bool, echoesAfter);
    Line line;
    if (knownToEcho)
        line.sync.adapterEchoFound();
    const ReplyRecognizer expected =
        quint8(request[1]) == 0x03 ? ReplyRecognizer::forRead(1) : ReplyRecognizer::forEcho(request);
    QCOMPARE(line.script.exchange(line.sync, expected, chunks, request), verdict);
    QCOMPARE(line.sync.frame(), frame);
    QCOMPARE(line.sync.adapterEchoes(), echoesAfter);
    QVERIFY(!line.script.pending());
}

// Bytes on the line before a request belong to no request of ours: they go, and a controller whose
// whole read reply is among them is out of step.
void LineSyncTest::staleBytesBeforeARequest_data()
{
    QTest::addColumn<QByteArray>("stale");
    QTest::addColumn<int>("settleMs");
    QTest::addColumn<QList<int>>("outOfStep");
    QTest::addColumn<double>("silentAfterMs");
    QTest::newRow("nothing: the request goes at once") << QByteArray() << 0 << QList<int>{} << 0.0;
    QTest::newRow("noise: gone after its silence") << QByteArray("\x00\xFF\x12", 3) << 0 << QList<int>{} << 4.0;
    QTest::newRow("a late reading of controller 2")
        << LineScript::readReply(2, 1.0f) << 0 << QList<int>{2} << 4.0;
    QTest::newRow("two late readings") << LineScript::readReply(3, 1.0f) + LineScript::readReply(2, 1.0f) << 0
                                       << QList<int>{2, 3} << 4.0;
    QTest::newRow("settling lasts its whole time on a silent line") << QByteArray() << 100 << QList<int>{} << 100.0;
}

void LineSyncTest::staleBytesBeforeARequest()
{
    QFETCH(QByteArray, stale);
    QFETCH(int, settleMs);
    QFETCH(QList<int>, outOfStep);
    QFETCH(double, silentAfterMs);
    Line line;
    line.script.advance(10); // the line has been silent since the sync was made
    if (!stale.isEmpty())
        line.script.after(0, stale);
    const double start = line.script.nowMs();
    line.sync.beginQuiet(settleMs);
    QCOMPARE(line.script.run(line.sync), Verdict::Silent);
    QCOMPARE(line.script.nowMs() - start, silentAfterMs);
    for (int address = 1; address <= 3; ++address)
        QCOMPARE(line.sync.inStep(quint8(address)), !outOfStep.contains(address));
}

void LineSyncTest::checkVerdicts_data()
{
    QTest::addColumn<Verdict>("verdict");
    QTest::addColumn<LineSync::Check>("check");
    QTest::newRow("its own echo") << Verdict::Answer << LineSync::Check::InStep;
    QTest::newRow("refuses the check: answered all the same")
        << Verdict::Exception << LineSync::Check::InStep;
    QTest::newRow("unsound: give up") << Verdict::Unsound << LineSync::Check::GiveUp;
    QTest::newRow("no answer: give up") << Verdict::NoAnswer << LineSync::Check::GiveUp;
    QTest::newRow("not sent: give up") << Verdict::NotSent << LineSync::Check::GiveUp;
}

void LineSyncTest::checkVerdicts()
{
    QFETCH(Verdict, verdict);
    QFETCH(LineSync::Check, check);
    Line line;
    line.sync.readDone(1, Verdict::NoAnswer);
    QCOMPARE(line.sync.checkDone(1, verdict), check);
    QCOMPARE(line.sync.inStep(1), check == LineSync::Check::InStep);
}

// The pause after a query counts from the answer's last byte when the answer ended on silence;
// after a timeout it is paused in full.
void LineSyncTest::pauseCountsTheSilenceAfterTheAnswer()
{
    Line line;
    QCOMPARE(line.read({{5, reading()}}), Verdict::Answer); // 4 ms of silence waited after the last byte
    line.script.advance(3);
    QCOMPARE(line.sync.restLeftUs(10), qint64(3000));
    QCOMPARE(line.sync.restLeftUs(10), qint64(10000)); // counted once

    QCOMPARE(line.read(), Verdict::NoAnswer);
    QCOMPARE(line.sync.restLeftUs(10), qint64(10000));
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(LineSyncTest)
#include "tst_line_sync.moc"
