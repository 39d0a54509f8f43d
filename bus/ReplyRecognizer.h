#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

// Finds the answer to one request in the bytes the line delivered since it was sent. A reply has
// no register number, so the only proof that bytes are this request's answer is their shape: the
// whole frame, sound, last on the line. A few stray bytes in front of it (noise at the driver's
// turnaround) are tolerated; a second frame of the same shape in front of it is not, since either
// of the two could be a late answer to an earlier request.
class ReplyRecognizer
{
public:
    enum class State
    {
        Incomplete, // nothing recognisable yet; more bytes may complete it
        Answer,     // ends with the expected frame; valid once the line stays silent
        Exception,  // ends with the controller's exception reply to this request
        Ambiguous,  // ends with the expected frame, but another one of its shape precedes it
        Unsound     // can no longer end in a sound answer
    };

    struct Result
    {
        State state = State::Incomplete;
        QByteArray frame;       // the answer or the exception reply
        int exceptionCode = -1; // with State::Exception
    };

    // A read of `registers` registers: address, 0x03, byte count, the data, CRC (9 bytes for the
    // usual two registers).
    static ReplyRecognizer forRead(quint8 address, int registers = 2);
    // A write: its exact echo.
    static ReplyRecognizer forEcho(const QByteArray &request);

    // Stray bytes tolerated in front of the answer before the collection is given up.
    static constexpr int kMaxStrayBytes = 32;

    Result recognise(const QByteArray &received) const;
    // A read, rather than a write that expects its echo.
    bool isRead() const { return m_echo.isEmpty(); }
    // Whether a line that fell silent after `received` has no more answer to give.
    bool finishedOnSilence(const QByteArray &received) const { return received.size() >= m_answerSize; }

    // Bytes that are one whole, sound frame that cannot answer this request: another controller's,
    // or, where an echo is expected, a read reply (a late answer to an earlier read). Not a spoilt
    // answer of this request, which may still come.
    bool isForeignFrame(const QByteArray &received) const;

    // The addresses of every sound read reply of two registers found in these bytes.
    static QList<quint8> readReplyAddresses(const QByteArray &bytes);

private:
    ReplyRecognizer(quint8 address, quint8 function, const QByteArray &echo, int answerSize);
    static bool readReplyAt(const QByteArray &bytes, int at, int size, quint8 *address);
    bool isAnswer(const QByteArray &bytes, int at) const;
    bool isException(const QByteArray &bytes, int at) const;

    quint8 m_address = 0;
    quint8 m_function = 0;
    QByteArray m_echo; // empty for a read
    int m_answerSize = 0;
};
