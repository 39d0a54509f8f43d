#pragma once

#include <QByteArray>
#include <QSerialPort>

// The frame codec of the bus protocol. Register addresses and counts travel high byte first,
// register values low byte first; a float is written with function 0x06 carrying four data bytes.
// The frame operations hold no state and do no I/O; they are static so that the worker thread and
// the simulated bus can use them without touching the shared object.
class SerialPort : public QSerialPort
{
    Q_OBJECT
public:
    // The one process-wide instance, created on first use. It is never opened: traffic goes
    // through the worker's own port.
    static SerialPort *instance();

    static QByteArray buildReadFrame(quint8 address, quint16 reg, quint16 count);
    static QByteArray buildWriteInt16Frame(quint8 address, quint16 reg, int value);
    static QByteArray buildWriteFloatFrame(quint8 address, quint16 reg, float value);
    static QByteArray buildEchoFrame(quint8 address);
    static QByteArray appendCrc(const QByteArray &data);

    // CRC-16 of the bus protocol (polynomial 0xA001 reflected, start 0xFFFF, no final XOR).
    static quint16 crc16(const char *data, int size);
    // True when the last two bytes of the frame are the CRC of the bytes before them.
    static bool hasValidCrc(const QByteArray &frame);
    // True when the frame is the whole, sound reply to a read of two registers at this address:
    // 9 bytes, the address asked, function 0x03, byte count 4 and a correct CRC.
    static bool isSoundReadReply(const QByteArray &reply, quint8 address);

private:
    explicit SerialPort(QObject *parent = nullptr);
};

// Decoders of the four data bytes that a read reply carries from index 3 on.
// Each throws std::invalid_argument when fewer than the needed bytes follow index i.
float bytes_to_float(const QByteArray &data, int i);
int bytes_to_uint16(const QByteArray &data, int i);
qint32 bytes_to_int32(const QByteArray &data, int i);

// The encoders the simulated controllers use for their replies.
QByteArray float_to_bytes(float value);
QByteArray uint16_to_bytes(quint16 value);
QByteArray int32_to_bytes(qint32 value);
