#pragma once

// Talking to the simulated bus through a real serial port, for tests of any folder: open a
// QSerialPort on the bus's terminal and run request/answer exchanges with deadlines, never sleeps.

#include "SerialPort.h"
#include "SimBus.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QString>
#include <limits>
#include <memory>

namespace SimExchange {

inline std::unique_ptr<QSerialPort> openPort(const QString &path, qint32 baud = QSerialPort::Baud9600)
{
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(path);
    port->setBaudRate(baud);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (!port->open(QIODevice::ReadWrite))
        return nullptr;
    return port;
}

// Reads until `expected` bytes are in or `timeoutMs` has passed; returns what arrived.
inline QByteArray readAtLeast(QSerialPort &port, int expected, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QByteArray received = port.readAll();
    while (received.size() < expected) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0 || !port.waitForReadyRead(int(left)))
            break;
        received += port.readAll();
    }
    return received;
}

// Sends a request and collects its answer of `expected` bytes.
inline QByteArray exchange(QSerialPort &port, const QByteArray &request, int expected, int timeoutMs = 2000)
{
    port.write(request);
    if (!port.waitForBytesWritten(timeoutMs))
        return {};
    return readAtLeast(port, expected, timeoutMs);
}

inline QByteArray readRequest(quint8 address, quint16 reg, quint16 count = 2)
{
    return SerialPort::appendCrc(SerialPort::buildReadFrame(address, reg, count));
}

// What the bus answered to `request`, proven complete without waiting out a timeout: the request
// goes out together with a discovery echo for `fenceAddress` (a healthy controller), and since the
// bus answers in order, whatever came before the fence's echo is the whole answer (empty when the
// bus kept silent). Not for controllers with a late or chunked answer, which the fence overtakes.
// Returns a null array when the fence did not come back either.
inline QByteArray answerBefore(QSerialPort &port, const QByteArray &request, quint8 fenceAddress,
                               int timeoutMs = 3000)
{
    const QByteArray fence = SerialPort::buildEchoFrame(fenceAddress);
    port.write(request + fence);
    if (!port.waitForBytesWritten(timeoutMs))
        return {};
    QElapsedTimer clock;
    clock.start();
    QByteArray received = port.readAll();
    while (!received.endsWith(fence)) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0 || !port.waitForReadyRead(int(left)))
            return {};
        received += port.readAll();
    }
    received.chop(fence.size());
    return received.isNull() ? QByteArray("") : received;
}

// Reads two registers and decodes the float they hold; NaN when no sound answer came.
inline float readFloat(QSerialPort &port, quint8 address, quint16 reg)
{
    const QByteArray reply = exchange(port, readRequest(address, reg), 9);
    return SerialPort::isSoundReadReply(reply, address) ? bytes_to_float(reply, 3)
                                                        : std::numeric_limits<float>::quiet_NaN();
}

// The frame with its last CRC byte spoiled.
inline QByteArray withBadCrc(QByteArray frame)
{
    frame[frame.size() - 1] = char(frame[frame.size() - 1] ^ 0x5A);
    return frame;
}

// A controller that never answers.
inline SimFaults silence()
{
    SimFaults faults;
    faults.silent = true;
    return faults;
}

} // namespace SimExchange
