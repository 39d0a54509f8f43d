#include "SerialPort.h"

#include <QDebug>
#include <QMutex>
#include <array>
#include <cstring>
#include <iostream>
#include <stdexcept>

namespace {

std::array<quint16, 256> makeCrcTable()
{
    std::array<quint16, 256> table{};
    for (int n = 0; n < 256; ++n) {
        quint16 value = quint16(n);
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? quint16((value >> 1) ^ 0xA001) : quint16(value >> 1);
        table[size_t(n)] = value;
    }
    return table;
}

// The bound test is unsigned so that a negative index fails it too.
bool fits(const QByteArray &data, int i, int n)
{
    return quint64(quint32(i)) + quint64(n) <= quint64(data.size());
}

quint32 littleEndian32(const QByteArray &data, int i)
{
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData()) + i;
    return quint32(bytes[0]) | quint32(bytes[1]) << 8 | quint32(bytes[2]) << 16 | quint32(bytes[3]) << 24;
}

QByteArray requestHead(quint8 address, quint8 function, quint16 reg)
{
    QByteArray frame;
    frame.reserve(10);
    frame.append(char(address));
    frame.append(char(function));
    frame.append(char(reg >> 8));
    frame.append(char(reg & 0xFF));
    return frame;
}

} // namespace

SerialPort::SerialPort(QObject *parent) : QSerialPort(parent) {}

SerialPort *SerialPort::instance()
{
    static QMutex mutex;
    static SerialPort *shared = nullptr;
    QMutexLocker lock(&mutex);
    if (!shared)
        shared = new SerialPort;
    return shared;
}

QByteArray SerialPort::buildReadFrame(quint8 address, quint16 reg, quint16 count)
{
    QByteArray frame = requestHead(address, 0x03, reg);
    frame.append(char(count >> 8));
    frame.append(char(count & 0xFF));
    return frame;
}

QByteArray SerialPort::buildWriteInt16Frame(quint8 address, quint16 reg, int value)
{
    QByteArray frame = requestHead(address, 0x06, reg);
    frame.append(uint16_to_bytes(quint16(value)));
    frame = appendCrc(frame);
    std::cout << "int要发送的数据是" << frame.toHex().constData() << std::endl;
    return frame;
}

QByteArray SerialPort::buildWriteFloatFrame(quint8 address, quint16 reg, float value)
{
    QByteArray frame = requestHead(address, 0x06, reg);
    frame.append(float_to_bytes(value));
    return appendCrc(frame);
}

QByteArray SerialPort::buildEchoFrame(quint8 address)
{
    const QString text = QStringLiteral("%1 08 00 00 55 66").arg(address, 2, 16, QLatin1Char('0')).toUpper();
    return appendCrc(QByteArray::fromHex(text.toLatin1().replace(' ', "")));
}

quint16 SerialPort::crc16(const char *data, int size)
{
    static const std::array<quint16, 256> table = makeCrcTable();
    quint16 crc = 0xFFFF;
    for (int i = 0; i < size; ++i)
        crc = quint16((crc >> 8) ^ table[(crc ^ quint8(data[i])) & 0xFF]);
    return crc;
}

QByteArray SerialPort::appendCrc(const QByteArray &data)
{
    const quint16 crc = crc16(data.constData(), data.size());
    QByteArray frame = data;
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

bool SerialPort::hasValidCrc(const QByteArray &frame)
{
    if (frame.size() < 3)
        return false;
    const int body = frame.size() - 2;
    const quint16 crc = crc16(frame.constData(), body);
    return quint8(frame[body]) == (crc & 0xFF) && quint8(frame[body + 1]) == (crc >> 8);
}

bool SerialPort::isSoundReadReply(const QByteArray &reply, quint8 address)
{
    return reply.size() == 9 && quint8(reply[0]) == address && quint8(reply[1]) == 0x03 &&
           quint8(reply[2]) == 4 && hasValidCrc(reply);
}

float bytes_to_float(const QByteArray &data, int i)
{
    if (!fits(data, i, 4)) {
        qDebug() << "bytes_to_float数据不够";
        throw std::invalid_argument("Not enough bytes to extract a float starting from the given index.");
    }
    const quint32 bits = littleEndian32(data, i);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

int bytes_to_uint16(const QByteArray &data, int i)
{
    if (!fits(data, i, 2))
        throw std::invalid_argument("Not enough bytes to extract an integer starting from the given index.");
    return int(quint8(data[i])) | int(quint8(data[i + 1])) << 8;
}

qint32 bytes_to_int32(const QByteArray &data, int i)
{
    if (!fits(data, i, 4))
        throw std::invalid_argument(
            "Not enough bytes to extract a 32-bit integer starting from the given index.");
    return qint32(littleEndian32(data, i));
}

QByteArray float_to_bytes(float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return int32_to_bytes(qint32(bits));
}

QByteArray uint16_to_bytes(quint16 value)
{
    QByteArray bytes;
    bytes.append(char(value & 0xFF));
    bytes.append(char(value >> 8));
    return bytes;
}

QByteArray int32_to_bytes(qint32 value)
{
    const quint32 bits = quint32(value);
    QByteArray bytes;
    for (int shift = 0; shift < 32; shift += 8)
        bytes.append(char((bits >> shift) & 0xFF));
    return bytes;
}
