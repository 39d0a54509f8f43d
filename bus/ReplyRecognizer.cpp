#include "ReplyRecognizer.h"

#include "SerialPort.h"

namespace {

constexpr int ReadReplySize = 9;
constexpr int ExceptionSize = 5;
constexpr quint8 ReadFunction = 0x03;
constexpr quint8 ExceptionFlag = 0x80;

bool soundAt(const QByteArray &bytes, int at, int size)
{
    return at >= 0 && at + size <= bytes.size() && SerialPort::hasValidCrc(bytes.mid(at, size));
}

} // namespace

bool ReplyRecognizer::readReplyAt(const QByteArray &bytes, int at, int size, quint8 *address)
{
    if (at < 0 || at + size > bytes.size() || quint8(bytes[at + 1]) != ReadFunction ||
        quint8(bytes[at + 2]) != size - 5 || !soundAt(bytes, at, size))
        return false;
    if (address)
        *address = quint8(bytes[at]);
    return true;
}

ReplyRecognizer::ReplyRecognizer(quint8 address, quint8 function, const QByteArray &echo, int answerSize)
    : m_address(address), m_function(function), m_echo(echo), m_answerSize(answerSize)
{
}

ReplyRecognizer ReplyRecognizer::forRead(quint8 address, int registers)
{
    return ReplyRecognizer(address, ReadFunction, QByteArray(), 5 + 2 * registers);
}

ReplyRecognizer ReplyRecognizer::forEcho(const QByteArray &request)
{
    const quint8 address = request.isEmpty() ? 0 : quint8(request[0]);
    const quint8 function = request.size() > 1 ? quint8(request[1]) : 0;
    return ReplyRecognizer(address, function, request, request.size());
}

bool ReplyRecognizer::isAnswer(const QByteArray &bytes, int at) const
{
    if (!m_echo.isEmpty())
        return at >= 0 && bytes.mid(at, m_echo.size()) == m_echo;
    quint8 address = 0;
    return readReplyAt(bytes, at, m_answerSize, &address) && address == m_address;
}

bool ReplyRecognizer::isException(const QByteArray &bytes, int at) const
{
    return at >= 0 && at + ExceptionSize <= bytes.size() && quint8(bytes[at]) == m_address &&
           quint8(bytes[at + 1]) == (m_function | ExceptionFlag) && soundAt(bytes, at, ExceptionSize);
}

ReplyRecognizer::Result ReplyRecognizer::recognise(const QByteArray &received) const
{
    Result result;
    // An endless or overlong burst: whatever it ends with, it is not one answer.
    if (received.size() > m_answerSize + kMaxStrayBytes) {
        result.state = State::Unsound;
        return result;
    }
    const int answerAt = received.size() - m_answerSize;
    if (isAnswer(received, answerAt)) {
        result.frame = received.mid(answerAt);
        result.state = State::Answer;
        for (int at = 0; at + m_answerSize <= answerAt; ++at) {
            if (isAnswer(received, at))
                result.state = State::Ambiguous;
        }
        return result;
    }
    const int exceptionAt = received.size() - ExceptionSize;
    if (isException(received, exceptionAt)) {
        result.state = State::Exception;
        result.frame = received.mid(exceptionAt);
        result.exceptionCode = quint8(received[exceptionAt + 2]);
        return result;
    }
    return result;
}

bool ReplyRecognizer::isForeignFrame(const QByteArray &received) const
{
    if (received.size() < ExceptionSize || !SerialPort::hasValidCrc(received))
        return false;
    const bool readReply = readReplyAt(received, 0, received.size(), nullptr);
    return quint8(received[0]) != m_address || (!isRead() && readReply);
}

QList<quint8> ReplyRecognizer::readReplyAddresses(const QByteArray &bytes)
{
    QList<quint8> found;
    for (int at = 0; at + ReadReplySize <= bytes.size(); ++at) {
        quint8 address = 0;
        if (readReplyAt(bytes, at, ReadReplySize, &address) && !found.contains(address))
            found.append(address);
    }
    return found;
}
