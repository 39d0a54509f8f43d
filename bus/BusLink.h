#pragma once

#include "LineSync.h"
#include "LinkExchange.h"
#include "Reading.h"
#include "ScanReply.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QSet>
#include <functional>

// The serial link to the bus: the port, one request and its answer at a time. It moves the bytes
// and notices a lost link; LineSync decides from them whether the line is in step (which bytes
// answer which request, when an answer counts, when a controller must be checked first). A hang-up
// or a read error of the port is a lost link: the port is closed at once and every exchange fails
// until the link is opened again.
//
// Blocking: every exchange waits on the port itself, so the link belongs to a thread that may
// block (the worker's, or the command-line tool's). Not thread-safe.
class BusLink : public QObject
{
    Q_OBJECT
public:
    explicit BusLink(QObject *parent = nullptr);
    ~BusLink() override;

    // Opens the port and finds out whether the adapter hands the host's bytes back (adapterEchoes),
    // with a read addressed to 0, which no controller answers: only the adapter can send it back.
    bool open(const QString &name, int baudRate);
    void close();
    bool isOpen() const;
    // When the last byte of the last exchange's answer arrived.
    ReadTime lastByteTime() const { return m_lastByteTime; }
    // A hang-up was noticed and the link has not been opened since.
    bool isLost() const { return m_lost; }
    QString errorString() const;
    // The port's error code behind errorString() after a failed opening.
    QSerialPort::SerialPortError portError() const { return m_port->error(); }
    QString portName() const { return m_name; }
    int baudRate() const { return m_baud; }

    void setReplyTimeout(int ms) { m_sync.setReplyTimeout(ms); }
    int replyTimeout() const { return m_sync.replyTimeout(); }
    // Whether the adapter hands every byte sent back to the host: found at opening or from a reply
    // that began with its request. The scan result then holds a copy of each probe.
    bool adapterEchoes() const { return m_sync.adapterEchoes(); }

    // A controller out of step is checked before it is read again, once a round: after a check
    // that got no answer, its reads fail at once, unsent, until the next round begins. The worker
    // begins a round every tick, so that a failing controller costs at most one reply timeout a tick.
    void beginRound() { m_checkFailed.clear(); }
    bool inStep(quint8 address) const { return m_sync.inStep(address); }

    // Reads two registers; `out` receives the whole 9-byte reply and is left alone on failure.
    bool readRegisters(quint8 address, quint16 reg, QByteArray &out);
    // Whether the last read failed on a silent line: neither the read nor its check got a byte
    // within the reply timeout and the grace after it. An unsound answer is no silence.
    bool lastReadMetSilence() const { return m_metSilence; }
    // What became of the last read: answered, met no answer in time, heard only unsound bytes (a
    // bad CRC, a wrong shape, an exception reply, a line that never fell silent), or never went on
    // the line (a closed port, a controller whose check failed this round).
    enum class ReadResult
    {
        Answered,
        Timeout,
        Unsound,
        NotSent
    };
    ReadResult lastReadResult() const { return m_lastRead; }
    // After a read that met silence: whether the controller has spoken since (a late answer), once
    // the line has fallen silent. A controller that did is alive: checked again, not given up.
    bool spokeSinceTimeout();
    // Writes and checks the echo.
    bool writeRegister(quint8 address, quint16 reg, int value);
    bool writeFloatRegister(quint8 address, quint16 reg, float value);
    // Collects at least `expectedBytes` bytes, then waits for the silence after them.
    bool waitForReply(int expectedBytes, int timeoutMs, QByteArray &out);
    // Probes addresses 1 to 15 with the diagnostic echo: every byte received, and the controllers
    // that answered, read as the adapter's echo demands.
    ScanResult scan(const std::function<bool()> &stopping);
    // Waits out what is left of `pauseMs` since the line last carried a byte: the silence that
    // ended the last answer counts as part of the pause.
    void restAfterExchange(int pauseMs);

    // Told of every exchange and of every discard, on the link's thread, as soon as it is over.
    // Without one nothing is recorded.
    using Observer = std::function<void(const LinkExchange &)>;
    void setObserver(Observer observer) { m_observer = std::move(observer); }

signals:
    // Emitted once per loss, on the link's thread, when a hang-up or a read error is noticed.
    void linkLost(const QString &reason);
    // What the link found out about the adapter, on the link's thread: after every opening, and
    // once more when a reply shows later that the adapter hands the host's bytes back.
    void adapterEcho(bool echoes);

private:
    using Verdict = LineSync::Verdict;

    static ReadResult readResultOf(Verdict verdict);
    Verdict exchange(const QByteArray &request, const ReplyRecognizer &expected, QByteArray &frame);
    bool ask(const QByteArray &request, int writeTimeoutMs);
    Verdict collect(const ReplyRecognizer &expected, QByteArray &frame);
    bool quietLine(int settleMs = 0);
    void drive();
    void hear(const QByteArray &bytes);
    void observe(const QByteArray &request, Verdict verdict, const QByteArray &frame, const ReadTime &sentAt);
    bool send(const QByteArray &frame, int writeTimeoutMs);
    bool waitForBytes(int ms, QByteArray &into);
    bool hungUp() const;
    bool takeBytes(int ms, QByteArray &into);
    QByteArray readPort();
    bool resync(quint8 address);
    void detectAdapterEcho();
    void reportAdapterEcho();
    bool writeEchoed(quint16 reg, const QByteArray &frame, bool verbose);
    void holdAfterTimeout();
    void onPortError(QSerialPort::SerialPortError error);
    void closeLostPort();

    QSerialPort *m_port = nullptr;
    LineSync m_sync;
    ReadTime m_lastByteTime; // when the last byte was received
    // When the last request began to go out. Stamped before the write: a worker put aside between
    // its write and its read would otherwise time an answer that had long arrived as instant.
    ReadTime m_sendStartedAt;
    QString m_name;
    int m_baud = 9600;
    bool m_lost = false;
    bool m_echoReported = false;
    QString m_lostReason;
    Observer m_observer;
    QByteArray m_heard; // what the line carried in the current phase, while observed
    QSet<quint8> m_checkFailed; // controllers whose check met a silent line this round
    bool m_metSilence = false;   // the last timeout's grace heard nothing
    quint8 m_readAddress = 0;    // the controller of the last read
    ReadResult m_lastRead = ReadResult::NotSent;
};
