#pragma once

#include "Reading.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QSet>
#include <functional>

class ReplyRecognizer;

// The serial link to the bus: the port, one request and its answer at a time, and the rules that
// keep an answer from being taken for another one's. A reply counts only when it is whole and
// sound and the line then stays silent for 3.5 character times (at least 1.75 ms), as an RTU frame
// ends. After a read of a controller failed, a late answer may still be on its way; the link then
// proves the line is in step with that controller (its address register holds its address) before
// it takes another reading from it. A hang-up or a read error of the port is a lost link: the
// port is closed at once and every exchange fails until the link is opened again.
//
// Blocking: every exchange waits on the port itself, so the link belongs to a thread that may
// block (the worker's, or the command-line tool's). Not thread-safe.
class BusLink : public QObject
{
    Q_OBJECT
public:
    explicit BusLink(QObject *parent = nullptr);
    ~BusLink() override;

    bool open(const QString &name, int baudRate);
    void close();
    bool isOpen() const;
    // A hang-up was noticed and the link has not been opened since.
    bool isLost() const { return m_lost; }
    QString errorString() const;
    QString portName() const { return m_name; }
    int baudRate() const { return m_baud; }

    void setReplyTimeout(int ms) { m_replyTimeout = qMax(0, ms); }
    int replyTimeout() const { return m_replyTimeout; }
    // The silence that ends a frame at the link's baud rate, in ms.
    double silenceMs() const;
    bool inStep(quint8 address) const { return !m_outOfStep.contains(address); }

    // Reads two registers; `out` receives the whole 9-byte reply and is left alone on failure.
    bool readRegisters(quint8 address, quint16 reg, QByteArray &out);
    // When the last byte received so far arrived: after a read that succeeded, its answer's last.
    ReadTime lastByteTime() const { return m_lastByteTime; }
    // Writes and checks the echo.
    bool writeRegister(quint8 address, quint16 reg, int value);
    bool writeFloatRegister(quint8 address, quint16 reg, float value);
    // Collects at least `expectedBytes` bytes, then waits for the silence after them.
    bool waitForReply(int expectedBytes, int timeoutMs, QByteArray &out);
    // Probes addresses 1 to 15 with the diagnostic echo and returns every byte received.
    QByteArray scan(const std::function<bool()> &stopping);
    // Waits out what is left of `pauseMs` since the line last carried a byte: the silence that
    // ended the last answer counts as part of the pause.
    void restAfterExchange(int pauseMs);

signals:
    // Emitted once per loss, on the link's thread, when a hang-up or a read error is noticed.
    void linkLost(const QString &reason);

private:
    enum class Outcome
    {
        Answer,
        Exception,
        NoAnswer,
        Unsound,
        NotSent
    };

    Outcome exchange(const QByteArray &request, const ReplyRecognizer &expected, QByteArray &frame);
    bool quietLine(int settleMs = 0);
    bool send(const QByteArray &frame, int writeTimeoutMs);
    Outcome collect(const ReplyRecognizer &expected, QByteArray &frame);
    void discardUntilSilent(qint64 budgetMs);
    bool waitForBytes(int ms, QByteArray &into);
    void heardBytes();
    int silenceLeftMs() const;
    bool resync(quint8 address);
    bool writeEchoed(quint16 reg, const QByteArray &frame, bool verbose);
    void onPortError(QSerialPort::SerialPortError error);
    void closeLostPort();

    QSerialPort *m_port = nullptr;
    QString m_name;
    int m_baud = 9600;
    int m_replyTimeout = 500;
    bool m_lost = false;
    QString m_lostReason;
    QSet<quint8> m_outOfStep;
    QElapsedTimer m_lastActivity;   // since the line last carried a byte
    ReadTime m_lastByteTime;        // when the last byte was received
    bool m_endedOnSilence = false;  // the last exchange ended by the silence after its answer
    QElapsedTimer m_lastUnanswered; // since the last request whose answer did not come in its wait
};
