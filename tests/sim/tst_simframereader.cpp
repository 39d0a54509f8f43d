#include "SerialPort.h"
#include "SimExchange.h"
#include "SimFrameReader.h"

#include <QtTest>

using SimExchange::withBadCrc;
using Chunks = QList<QByteArray>;
Q_DECLARE_METATYPE(Chunks)

// Frames come out of the byte stream as a device delimits them, however the bytes are split.
class TestSimFrameReader : public QObject
{
    Q_OBJECT

private slots:
    void delimits_data();
    void delimits();
    void endlessGarbageIsBounded();
};

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

const QByteArray kRead = hex("010310000002C0CB");
const QByteArray kEcho = hex("0108000055665F71");
const QByteArray kWrite16 = hex("010630082C01DA08");
const QByteArray kWriteFloat = hex("0506303E0000803FEBD1");

// "ok:" for a sound frame, "bad:" for a rejected one, then the bytes in hex.
QString describe(const SimFrameReader::Frame &frame)
{
    return (frame.sound ? "ok:" : "bad:") + QString::fromLatin1(frame.bytes.toHex().toUpper());
}

QString ok(const QByteArray &frame)
{
    return "ok:" + QString::fromLatin1(frame.toHex().toUpper());
}

QString bad(const QByteArray &frame)
{
    return "bad:" + QString::fromLatin1(frame.toHex().toUpper());
}

} // namespace

void TestSimFrameReader::delimits_data()
{
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<bool>("silenceAtEnd");
    QTest::addColumn<QStringList>("frames");

    QTest::newRow("read in one chunk") << Chunks{kRead} << false << QStringList{ok(kRead)};
    QTest::newRow("read split 3 + 5")
        << Chunks{kRead.left(3), kRead.mid(3)} << false << QStringList{ok(kRead)};
    Chunks single;
    for (char byte : kEcho)
        single << QByteArray(1, byte);
    QTest::newRow("echo byte by byte") << single << false << QStringList{ok(kEcho)};
    QTest::newRow("two frames in one chunk")
        << Chunks{kRead + kEcho} << false << QStringList{ok(kRead), ok(kEcho)};
    QTest::newRow("second frame split across chunks")
        << Chunks{kRead + kEcho.left(2), kEcho.mid(2)} << false << QStringList{ok(kRead), ok(kEcho)};
    QTest::newRow("garbage before a frame")
        << Chunks{hex("AABB") + kRead} << false << QStringList{bad(hex("AABB")), ok(kRead)};
    QTest::newRow("0x06 with a sound CRC over 8 is the 16-bit write")
        << Chunks{kWrite16} << false << QStringList{ok(kWrite16)};
    QTest::newRow("0x06 with a sound CRC over 10 is the float write")
        << Chunks{kWriteFloat} << false << QStringList{ok(kWriteFloat)};
    QTest::newRow("float write split 8 + 2 waits for its last bytes")
        << Chunks{kWriteFloat.left(8), kWriteFloat.mid(8)} << false << QStringList{ok(kWriteFloat)};
    QTest::newRow("float write then 16-bit write in one chunk")
        << Chunks{kWriteFloat + kWrite16} << false << QStringList{ok(kWriteFloat), ok(kWrite16)};
    QTest::newRow("16-bit write then float write in one chunk")
        << Chunks{kWrite16 + kWriteFloat} << false << QStringList{ok(kWrite16), ok(kWriteFloat)};
    QTest::newRow("bad CRC waits for the silence") << Chunks{withBadCrc(kRead)} << false << QStringList{};
    QTest::newRow("bad CRC is dropped after the silence")
        << Chunks{withBadCrc(kRead)} << true << QStringList{bad(withBadCrc(kRead))};
    QTest::newRow("bad frame then a sound one")
        << Chunks{withBadCrc(kRead) + kEcho} << false << QStringList{bad(withBadCrc(kRead)), ok(kEcho)};
    QTest::newRow("torn frame ended by the silence")
        << Chunks{kRead.left(5)} << true << QStringList{bad(kRead.left(5))};
    const QByteArray writeMultiple = SerialPort::appendCrc(hex("01103000000102E803"));
    QTest::newRow("unknown function with a sound CRC, after the silence")
        << Chunks{writeMultiple} << true << QStringList{ok(writeMultiple)};
    QTest::newRow("nothing buffered, silence gives nothing") << Chunks{} << true << QStringList{};
}

void TestSimFrameReader::delimits()
{
    QFETCH(Chunks, chunks);
    QFETCH(bool, silenceAtEnd);
    QFETCH(QStringList, frames);

    SimFrameReader reader;
    QStringList found;
    for (const QByteArray &chunk : chunks) {
        for (const SimFrameReader::Frame &frame : reader.feed(chunk))
            found << describe(frame);
    }
    if (silenceAtEnd) {
        const SimFrameReader::Frame last = reader.flushOnSilence();
        if (!last.bytes.isEmpty())
            found << describe(last);
        QVERIFY(!reader.hasPending());
    }
    QCOMPARE(found, frames);
}

void TestSimFrameReader::endlessGarbageIsBounded()
{
    SimFrameReader reader;
    int rejected = 0;
    for (int i = 0; i < 100; ++i) {
        for (const SimFrameReader::Frame &frame : reader.feed(QByteArray(16, '\xAA'))) {
            QVERIFY(!frame.sound);
            ++rejected;
        }
    }
    QVERIFY(rejected > 0);
    // A sound frame after the garbage is still found.
    const QList<SimFrameReader::Frame> frames = reader.feed(kEcho);
    QVERIFY(!frames.isEmpty());
    QCOMPARE(frames.last().bytes, kEcho);
    QVERIFY(frames.last().sound);
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(TestSimFrameReader)
#include "tst_simframereader.moc"
