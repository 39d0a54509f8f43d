#include "ReplyRecognizer.h"
#include "SerialPort.h"

#include <QtTest>
#include <stdexcept>

// The frames and conversions every exchange on the bus rests on.
class TestCodec : public QObject
{
    Q_OBJECT

private slots:
    void builtFrames_data();
    void builtFrames();
    void crcOfEmptyInput();
    void decodedValues_data();
    void decodedValues();
    void floatSurvivesTheWire_data();
    void floatSurvivesTheWire();
    void shortInputThrows_data();
    void shortInputThrows();
    void soundReadReply_data();
    void soundReadReply();
    void recognisedReplies_data();
    void recognisedReplies();
};

void TestCodec::builtFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expectedHex");
    QTest::newRow("read address 1, 0x1000")
        << SerialPort::appendCrc(SerialPort::buildReadFrame(1, 0x1000, 2)) << QByteArray("010310000002C0CB");
    QTest::newRow("read without CRC is 6 bytes")
        << SerialPort::buildReadFrame(1, 0x303E, 2) << QByteArray("0103303E0002");
    QTest::newRow("echo address 1") << SerialPort::buildEchoFrame(1) << QByteArray("0108000055665F71");
    QTest::newRow("echo address 10 (hex digit)")
        << SerialPort::buildEchoFrame(10) << QByteArray("0A08000055665E0A");
    QTest::newRow("echo address 15") << SerialPort::buildEchoFrame(15) << QByteArray("0F08000055665E5F");
    QTest::newRow("16-bit 300 goes low byte first")
        << SerialPort::buildWriteInt16Frame(1, 0x3008, 300) << QByteArray("010630082C01DA08");
    QTest::newRow("16-bit -1 is FF FF")
        << SerialPort::buildWriteInt16Frame(1, 0x3008, -1) << QByteArray("01063008FFFF06B8");
    QTest::newRow("16-bit keeps only the low 16 bits")
        << SerialPort::buildWriteInt16Frame(1, 0x3008, 0x1012C) << QByteArray("010630082C01DA08");
    QTest::newRow("float 1.0 is 10 bytes")
        << SerialPort::buildWriteFloatFrame(5, 0x303E, 1.0f) << QByteArray("0506303E0000803FEBD1");
    QTest::newRow("float -1.5 carries the sign in the last byte")
        << SerialPort::buildWriteFloatFrame(5, 0x303E, -1.5f) << QByteArray("0506303E0000C0BFDBB1");
}

void TestCodec::builtFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expectedHex);
    QCOMPARE(frame.toHex().toUpper(), expectedHex);
}

void TestCodec::crcOfEmptyInput()
{
    QCOMPARE(SerialPort::appendCrc(QByteArray()), QByteArray::fromHex("FFFF"));
}

void TestCodec::decodedValues_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("uint16");
    QTest::addColumn<qint32>("int32");
    const auto reply = [](const char *data) {
        return QByteArray::fromHex(QByteArray("010304") + data + "0000");
    };
    QTest::newRow("01 80 is 32769, not negative") << reply("01800000") << 32769 << qint32(0x8001);
    QTest::newRow("all ones") << reply("FFFFFFFF") << 65535 << qint32(-1);
    QTest::newRow("32-bit little-endian") << reply("78563412") << 0x5678 << qint32(0x12345678);
    QTest::newRow("password 1234") << reply("D2040000") << 1234 << qint32(1234);
}

void TestCodec::decodedValues()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, uint16);
    QFETCH(qint32, int32);
    QCOMPARE(bytes_to_uint16(reply, 3), uint16);
    QCOMPARE(bytes_to_int32(reply, 3), int32);
}

void TestCodec::floatSurvivesTheWire_data()
{
    QTest::addColumn<float>("value");
    QTest::newRow("zero") << 0.0f;
    QTest::newRow("setpoint") << 123.456f;
    QTest::newRow("negative") << -0.001f;
    QTest::newRow("pressure in Pa") << 101325.0f;
}

void TestCodec::floatSurvivesTheWire()
{
    QFETCH(float, value);
    const QByteArray frame = SerialPort::buildWriteFloatFrame(7, 0x3004, value);
    QVERIFY(SerialPort::hasValidCrc(frame));
    QCOMPARE(bytes_to_float(frame, 4), value);
    QCOMPARE(float_to_bytes(value), frame.mid(4, 4));
}

using Decoder = void (*)(const QByteArray &, int);
Q_DECLARE_METATYPE(Decoder)

void TestCodec::shortInputThrows_data()
{
    QTest::addColumn<Decoder>("decode");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("message"); // empty: no exception
    const Decoder toFloat = [](const QByteArray &d, int i) { bytes_to_float(d, i); };
    const Decoder toUint16 = [](const QByteArray &d, int i) { bytes_to_uint16(d, i); };
    const Decoder toInt32 = [](const QByteArray &d, int i) { bytes_to_int32(d, i); };
    const QString floatText = "Not enough bytes to extract a float starting from the given index.";
    const QString uint16Text = "Not enough bytes to extract an integer starting from the given index.";
    const QString int32Text = "Not enough bytes to extract a 32-bit integer starting from the given index.";
    QTest::newRow("float, 7 bytes at 3 fits") << toFloat << 7 << 3 << QString();
    QTest::newRow("float, 6 bytes at 3") << toFloat << 6 << 3 << floatText;
    QTest::newRow("float, negative index") << toFloat << 9 << -1 << floatText;
    QTest::newRow("uint16, 5 bytes at 3 fits") << toUint16 << 5 << 3 << QString();
    QTest::newRow("uint16, 4 bytes at 3") << toUint16 << 4 << 3 << uint16Text;
    QTest::newRow("uint16, negative index") << toUint16 << 9 << -2 << uint16Text;
    QTest::newRow("int32, 7 bytes at 3 fits") << toInt32 << 7 << 3 << QString();
    QTest::newRow("int32, 6 bytes at 3") << toInt32 << 6 << 3 << int32Text;
    QTest::newRow("int32, most negative index") << toInt32 << 9 << int(0x80000000) << int32Text;
}

void TestCodec::shortInputThrows()
{
    QFETCH(Decoder, decode);
    QFETCH(int, size);
    QFETCH(int, index);
    QFETCH(QString, message);
    if (message == "Not enough bytes to extract a float starting from the given index.")
        QTest::ignoreMessage(QtDebugMsg, "bytes_to_float数据不够");
    QString thrown;
    try {
        decode(QByteArray(size, '\x01'), index);
    } catch (const std::invalid_argument &error) {
        thrown = QString::fromUtf8(error.what());
    }
    QCOMPARE(thrown, message);
}

void TestCodec::soundReadReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("address");
    QTest::addColumn<bool>("sound");
    const QByteArray good = SerialPort::appendCrc(QByteArray::fromHex("0203040000803F"));
    QByteArray badCrc = good;
    badCrc[8] = char(badCrc[8] ^ 1);
    QTest::newRow("sound") << good << 2 << true;
    QTest::newRow("another address asked") << good << 3 << false;
    QTest::newRow("bad CRC") << badCrc << 2 << false;
    QTest::newRow("exception reply") << SerialPort::appendCrc(QByteArray::fromHex("028302")) << 2 << false;
    QTest::newRow("function 0x04") << SerialPort::appendCrc(QByteArray::fromHex("0204040000803F")) << 2
                                   << false;
    QTest::newRow("byte count 2") << SerialPort::appendCrc(QByteArray::fromHex("02030200008000")) << 2
                                  << false;
    QTest::newRow("one byte short") << good.left(8) << 2 << false;
    QTest::newRow("a byte too many") << good + QByteArray(1, '\0') << 2 << false;
    QTest::newRow("empty") << QByteArray() << 2 << false;
}

void TestCodec::soundReadReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, address);
    QFETCH(bool, sound);
    QCOMPARE(SerialPort::isSoundReadReply(reply, quint8(address)), sound);
}

// What the bytes after a read request of device 1 (or a write's echo) amount to.
void TestCodec::recognisedReplies_data()
{
    using State = ReplyRecognizer::State;
    QTest::addColumn<bool>("write");
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<int>("state");
    const QByteArray answer = SerialPort::appendCrc(QByteArray::fromHex("01030400002842"));
    const QByteArray other = SerialPort::appendCrc(QByteArray::fromHex("02030400002842"));
    const QByteArray echo = SerialPort::buildWriteInt16Frame(1, 0x3008, 30);
    const QByteArray exception = SerialPort::appendCrc(QByteArray::fromHex("018302"));
    QTest::newRow("whole answer") << false << answer << int(State::Answer);
    QTest::newRow("part of it") << false << answer.left(6) << int(State::Incomplete);
    QTest::newRow("stray bytes before it")
        << false << QByteArray("\xFF\x00", 2) + answer << int(State::Answer);
    QTest::newRow("another device's answer before it") << false << other + answer << int(State::Answer);
    QTest::newRow("one of its shape before it") << false << answer + answer << int(State::Ambiguous);
    QTest::newRow("a byte after it") << false << answer + QByteArray(1, '\0') << int(State::Incomplete);
    QTest::newRow("exception reply") << false << exception << int(State::Exception);
    QTest::newRow("a stream too long for stray bytes")
        << false << QByteArray(ReplyRecognizer::kMaxStrayBytes + 1, '\x55') + answer << int(State::Unsound);
    QTest::newRow("exact echo") << true << echo << int(State::Answer);
    QTest::newRow("echo differing in a byte")
        << true << SerialPort::buildWriteInt16Frame(1, 0x3008, 31) << int(State::Incomplete);
}

void TestCodec::recognisedReplies()
{
    QFETCH(bool, write);
    QFETCH(QByteArray, received);
    QFETCH(int, state);
    const QByteArray echo = SerialPort::buildWriteInt16Frame(1, 0x3008, 30);
    const ReplyRecognizer recognizer = write ? ReplyRecognizer::forEcho(echo) : ReplyRecognizer::forRead(1);
    const ReplyRecognizer::Result result = recognizer.recognise(received);
    QCOMPARE(int(result.state), state);
    if (result.state == ReplyRecognizer::State::Exception)
        QCOMPARE(result.exceptionCode, 2);
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(TestCodec)
#include "tst_codec.moc"
