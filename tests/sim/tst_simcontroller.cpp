#include "SerialPort.h"
#include "SimController.h"

#include <QtTest>

// One controller's registers, answers and physics, on a clock the test drives.
class TestSimController : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void defaults_data();
    void defaults();
    void answers_data();
    void answers();
    void writesAreStored_data();
    void writesAreStored();
    void addressChangeWaitsForTheBus();
    void flowFollowsSetpointWithLag();
    void valveFaultsSlowOrHoldTheFlow();
    void cumulativeIntegratesFlow();
    void cumulativeControlStopsAtTheDose();
    void commands_data();
    void commands();
    void factoryDefaultsKeepTheAddress();
    void ambientDriftsSlightly();

private:
    SimController::Clock::time_point at(double seconds) const;
    QByteArray send(const QByteArray &frame, double seconds = 0.0);

    SimController::Clock::time_point m_start;
    std::unique_ptr<SimController> m_controller;
};

namespace {

QByteArray read(quint16 reg, quint16 count = 2)
{
    return SerialPort::appendCrc(SerialPort::buildReadFrame(4, reg, count));
}

QByteArray exceptionReply(quint8 function, quint8 code)
{
    return SerialPort::appendCrc(QByteArray{"\x04"} + char(function | 0x80) + char(code));
}

} // namespace

SimController::Clock::time_point TestSimController::at(double seconds) const
{
    return m_start +
           std::chrono::duration_cast<SimController::Clock::duration>(std::chrono::duration<double>(seconds));
}

QByteArray TestSimController::send(const QByteArray &frame, double seconds)
{
    return m_controller->handle(frame, at(seconds)).reply;
}

void TestSimController::init()
{
    m_start = SimController::Clock::now();
    m_controller = std::make_unique<SimController>(4, 1, m_start);
}

void TestSimController::defaults_data()
{
    QTest::addColumn<int>("reg");
    QTest::addColumn<double>("value");
    QTest::newRow("mode: instantaneous control") << int(SimRegister::Mode) << 0.0;
    QTest::newRow("gas coefficient number") << int(SimRegister::GasNumber) << 1.0;
    QTest::newRow("custom gas coefficient") << int(SimRegister::GasCoefficient) << 1.0;
    QTest::newRow("backlight") << int(SimRegister::Backlight) << 30.0;
    QTest::newRow("device address is its own") << int(SimRegister::DeviceAddress) << 4.0;
    QTest::newRow("baud index 115200") << int(SimRegister::BaudIndex) << 6.0;
    QTest::newRow("ordinary password") << int(SimRegister::OrdinaryPassword) << 1234.0;
    QTest::newRow("flow setpoint") << int(SimRegister::FlowSetpoint) << 0.0;
    QTest::newRow("flow at rest") << int(SimRegister::Flow) << 0.0;
    QTest::newRow("temperature") << int(SimRegister::Temperature) << 23.0;
    QTest::newRow("pressure in Pa") << int(SimRegister::Pressure) << 101325.0;
}

void TestSimController::defaults()
{
    QFETCH(int, reg);
    QFETCH(double, value);
    const QByteArray reply = send(read(quint16(reg)));
    QVERIFY(SerialPort::isSoundReadReply(reply, 4));
    const bool isFloat = reg == SimRegister::GasCoefficient || reg == SimRegister::FlowSetpoint ||
                         reg == SimRegister::Flow || reg == SimRegister::Temperature ||
                         reg == SimRegister::Pressure;
    const double stored = isFloat ? bytes_to_float(reply, 3) : bytes_to_int32(reply, 3);
    QCOMPARE(stored, value);
}

void TestSimController::answers_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("expected"); // empty: silence

    const QByteArray echo = SerialPort::buildEchoFrame(4);
    QTest::newRow("discovery echo") << echo << echo;
    const QByteArray otherData = SerialPort::appendCrc(QByteArray::fromHex("040800001234"));
    QTest::newRow("echo returns any query data") << otherData << otherData;
    QTest::newRow("echo with another sub-function")
        << SerialPort::appendCrc(QByteArray::fromHex("040800015566")) << exceptionReply(0x08, 0x01);
    QTest::newRow("read of a 16-bit register, count 1")
        << read(SimRegister::Backlight, 1) << SerialPort::appendCrc(QByteArray::fromHex("0403021E00"));
    QTest::newRow("read of a 16-bit register, count 2")
        << read(SimRegister::Backlight) << SerialPort::appendCrc(QByteArray::fromHex("0403041E000000"));
    QTest::newRow("read across two registers of the map")
        << read(SimRegister::Backlight, 4)
        << SerialPort::appendCrc(QByteArray::fromHex("0403081E00000001000000"));
    QTest::newRow("read of a register the map does not hold") << read(0x3006) << exceptionReply(0x03, 0x02);
    QTest::newRow("read running into a hole")
        << read(SimRegister::GasCoefficient, 4) << exceptionReply(0x03, 0x02);
    QTest::newRow("read of count 0") << read(SimRegister::Backlight, 0) << exceptionReply(0x03, 0x03);
    QTest::newRow("read of count 126") << read(SimRegister::Backlight, 126) << exceptionReply(0x03, 0x03);
    const QByteArray write16 = SerialPort::buildWriteInt16Frame(4, SimRegister::Backlight, 60);
    QTest::newRow("16-bit write is echoed") << write16 << write16;
    const QByteArray writeFloat = SerialPort::buildWriteFloatFrame(4, SimRegister::FlowSetpoint, 12.5f);
    QTest::newRow("float write is echoed") << writeFloat << writeFloat;
    QTest::newRow("write of an unknown register")
        << SerialPort::buildWriteInt16Frame(4, 0x3006, 1) << exceptionReply(0x06, 0x02);
    QTest::newRow("write of a reading")
        << SerialPort::buildWriteFloatFrame(4, SimRegister::Flow, 1.0f) << exceptionReply(0x06, 0x02);
    QTest::newRow("float write into the second half")
        << SerialPort::buildWriteFloatFrame(4, SimRegister::FlowSetpoint + 1, 1.0f)
        << exceptionReply(0x06, 0x02);
    QTest::newRow("mode 2 does not exist")
        << SerialPort::buildWriteInt16Frame(4, SimRegister::Mode, 2) << exceptionReply(0x06, 0x03);
    QTest::newRow("bus address 0 is refused")
        << SerialPort::buildWriteInt16Frame(4, SimRegister::DeviceAddress, 0) << exceptionReply(0x06, 0x03);
    QTest::newRow("unknown command code")
        << SerialPort::buildWriteInt16Frame(4, SimRegister::Command, 2) << exceptionReply(0x06, 0x03);
    QTest::newRow("wrong factory code")
        << SerialPort::buildWriteInt16Frame(4, SimRegister::FactoryInit, 1) << exceptionReply(0x06, 0x03);
    QTest::newRow("unknown function")
        << SerialPort::appendCrc(QByteArray::fromHex("04110000")) << exceptionReply(0x11, 0x01);
    QTest::newRow("an exception reply is not answered") << exceptionReply(0x03, 0x02) << QByteArray();
}

void TestSimController::answers()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, expected);
    QCOMPARE(send(request).toHex(' '), expected.toHex(' '));
}

void TestSimController::writesAreStored_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("intValue");
    QTest::addColumn<float>("floatValue");
    QTest::newRow("backlight 300") << SerialPort::buildWriteInt16Frame(4, SimRegister::Backlight, 300)
                                   << int(SimRegister::Backlight) << 300 << 0.0f;
    QTest::newRow("password written as 16-bit reads as 32-bit")
        << SerialPort::buildWriteInt16Frame(4, SimRegister::OrdinaryPassword, 40000)
        << int(SimRegister::OrdinaryPassword) << 40000 << 0.0f;
    QTest::newRow("cumulative setpoint")
        << SerialPort::buildWriteFloatFrame(4, SimRegister::CumulativeSetpoint, 2.5f)
        << int(SimRegister::CumulativeSetpoint) << 2 << 2.5f;
    QTest::newRow("mode 1") << SerialPort::buildWriteInt16Frame(4, SimRegister::Mode, 1)
                            << int(SimRegister::Mode) << 1 << 0.0f;
}

void TestSimController::writesAreStored()
{
    QFETCH(QByteArray, request);
    QFETCH(int, reg);
    QFETCH(int, intValue);
    QFETCH(float, floatValue);
    QCOMPARE(send(request), request);
    QCOMPARE(m_controller->intRegister(quint16(reg), at(0)), intValue);
    if (floatValue != 0.0f)
        QCOMPARE(m_controller->floatRegister(quint16(reg), at(0)), floatValue);
}

void TestSimController::addressChangeWaitsForTheBus()
{
    const QByteArray request = SerialPort::buildWriteInt16Frame(4, SimRegister::DeviceAddress, 9);
    const auto taken = [](quint8 address) { return address == 7; };
    const SimController::Answer answer = m_controller->handle(request, at(0), taken);
    QCOMPARE(answer.reply, request);
    QCOMPARE(answer.newAddress, 9);
    QCOMPARE(m_controller->address(), quint8(4)); // still answering at 4 until the echo is out

    const QByteArray toTaken = SerialPort::buildWriteInt16Frame(4, SimRegister::DeviceAddress, 7);
    QCOMPARE(m_controller->handle(toTaken, at(0), taken).reply, exceptionReply(0x06, 0x03));
}

void TestSimController::flowFollowsSetpointWithLag()
{
    m_controller->setFloatRegister(SimRegister::FlowSetpoint, 100.0f, at(0));
    const float afterOneLag = m_controller->floatRegister(SimRegister::Flow, at(SimController::kLagSeconds));
    QVERIFY2(qAbs(afterOneLag - 63.2f) < 1.5f, qPrintable(QString::number(afterOneLag)));
    const float settled = m_controller->floatRegister(SimRegister::Flow, at(5));
    QVERIFY2(qAbs(settled - 100.0f) < 1.0f, qPrintable(QString::number(settled)));
    QVERIFY(settled != 100.0f); // a little noise
}

// A sluggish valve reaches 63 % after its own time constant; a stuck one keeps the flow it had even
// against a 0 setpoint; freed, it follows again at the usual pace.
void TestSimController::valveFaultsSlowOrHoldTheFlow()
{
    m_controller->setValveResponse(2.0, false, at(0));
    m_controller->setFloatRegister(SimRegister::FlowSetpoint, 100.0f, at(0));
    const float slow = m_controller->floatRegister(SimRegister::Flow, at(2.0));
    QVERIFY2(qAbs(slow - 63.2f) < 1.5f, qPrintable(QString::number(slow)));
    m_controller->setValveResponse(0, true, at(2.0));
    m_controller->setFloatRegister(SimRegister::FlowSetpoint, 0.0f, at(2.0));
    const float held = m_controller->floatRegister(SimRegister::Flow, at(60));
    QVERIFY2(qAbs(held - slow) < 0.5f, qPrintable(QString::number(held)));
    m_controller->setValveResponse(0, false, at(60));
    QVERIFY(m_controller->floatRegister(SimRegister::Flow, at(60 + SimController::kLagSeconds)) < 0.4f * held);
}

void TestSimController::cumulativeIntegratesFlow()
{
    m_controller->setFloatRegister(SimRegister::Flow, 600.0f, at(0));
    m_controller->setFloatRegister(SimRegister::FlowSetpoint, 600.0f, at(0));
    // 600 sccm for 60 s is 600 cm³, 0.6 L.
    QCOMPARE(qRound(m_controller->floatRegister(SimRegister::CumulativeFlow, at(60)) * 1e4f), 6000);
}

void TestSimController::cumulativeControlStopsAtTheDose()
{
    m_controller->setIntRegister(SimRegister::Mode, 1, at(0));
    m_controller->setFloatRegister(SimRegister::CumulativeSetpoint, 0.05f, at(0));
    m_controller->setFloatRegister(SimRegister::FlowSetpoint, 600.0f, at(0));
    QVERIFY(m_controller->floatRegister(SimRegister::Flow, at(3)) > 500.0f); // 0.03 L so far
    QCOMPARE(m_controller->floatRegister(SimRegister::CumulativeFlow, at(20)), 0.05f);
    QCOMPARE(m_controller->floatRegister(SimRegister::Flow, at(20)), 0.0f);
    QCOMPARE(m_controller->floatRegister(SimRegister::CumulativeFlow, at(40)), 0.05f);
}

void TestSimController::commands_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<float>("flowAfter");
    QTest::addColumn<float>("cumulativeAfter");
    QTest::newRow("clear the cumulative flow") << SimCommand::ClearCumulative << 200.0f << 0.0f;
    QTest::newRow("zero the flow") << SimCommand::ZeroFlow << 0.0f << 1.5f;
    QTest::newRow("purge on") << SimCommand::PurgeOn << SimController::kPurgeFlow << 1.5f;
    QTest::newRow("purge off") << SimCommand::PurgeOff << 200.0f << 1.5f;
    QTest::newRow("analog zero changes nothing visible") << SimCommand::AnalogZero << 200.0f << 1.5f;
    QTest::newRow("analog full scale changes nothing visible")
        << SimCommand::AnalogFullScale << 200.0f << 1.5f;
}

void TestSimController::commands()
{
    QFETCH(int, code);
    QFETCH(float, flowAfter);
    QFETCH(float, cumulativeAfter);
    m_controller->setFloatRegister(SimRegister::FlowSetpoint, 200.0f, at(0));
    m_controller->setFloatRegister(SimRegister::Flow, 200.0f, at(0));
    m_controller->setFloatRegister(SimRegister::CumulativeFlow, 1.5f, at(0));
    const QByteArray command = SerialPort::buildWriteInt16Frame(4, SimRegister::Command, code);
    QCOMPARE(send(command), command);
    QCOMPARE(m_controller->floatRegister(SimRegister::CumulativeFlow, at(0)), cumulativeAfter);
    const float flow = code == SimCommand::PurgeOn ? m_controller->floatRegister(SimRegister::Flow, at(5))
                                                   : m_controller->floatRegister(SimRegister::Flow, at(0));
    QVERIFY2(qAbs(flow - flowAfter) <= flowAfter * 0.01f, qPrintable(QString::number(flow)));
    QCOMPARE(m_controller->intRegister(SimRegister::Command, at(0)), 0); // an action, not a setting
}

void TestSimController::factoryDefaultsKeepTheAddress()
{
    send(SerialPort::buildWriteInt16Frame(4, SimRegister::Backlight, 99));
    send(SerialPort::buildWriteInt16Frame(4, SimRegister::BaudIndex, 0));
    const QByteArray factory =
        SerialPort::buildWriteInt16Frame(4, SimRegister::FactoryInit, SimCommand::FactoryDefaults);
    QCOMPARE(send(factory), factory);
    QCOMPARE(m_controller->intRegister(SimRegister::Backlight, at(0)), 30);
    QCOMPARE(m_controller->intRegister(SimRegister::DeviceAddress, at(0)), 4);
    QCOMPARE(m_controller->intRegister(SimRegister::BaudIndex, at(0)), 0);
}

void TestSimController::ambientDriftsSlightly()
{
    QSet<float> temperatures;
    for (int minute = 1; minute <= 60; ++minute) {
        const float celsius = m_controller->floatRegister(SimRegister::Temperature, at(minute * 60.0));
        const float pascal = m_controller->floatRegister(SimRegister::Pressure, at(minute * 60.0));
        QVERIFY2(qAbs(celsius - 23.0f) < 1.0f, qPrintable(QString::number(celsius)));
        QVERIFY2(qAbs(pascal - 101325.0f) < 500.0f, qPrintable(QString::number(pascal)));
        temperatures.insert(celsius);
    }
    QVERIFY(temperatures.size() > 1);
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(TestSimController)
#include "tst_simcontroller.moc"
