#pragma once

#include "SimFaults.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class SimController;

// A bus of simulated controllers served on a pseudo-terminal, exactly as real controllers answer
// on the wire. A controller answers in the order it was asked: an answer never overtakes the same
// controller's late one. It runs on a thread of its own; every public method is thread-safe.
class SimBus
{
public:
    struct Options
    {
        QList<quint8> addresses{1, 2, 3};
        int baud = 0;                  // 0: answer as fast as possible; N: emulate the wire time at N baud
        double turnaroundMs = 2.0;     // the controller's answer delay after a request, with baud > 0
        quint32 seed = 1;              // seeds every random fault and the readings' noise
        QString linkPath;              // when set, a symbolic link to the terminal is kept here
        int servedValuesKept = 100000; // read replies kept per register for servedValues()
        // A 2-wire adapter that hands every byte the host sends back to the host, once the byte is
        // on the wire, before any controller answers.
        bool adapterEchoes = false;
    };

    explicit SimBus(const Options &options);
    ~SimBus();
    SimBus(const SimBus &) = delete;
    SimBus &operator=(const SimBus &) = delete;

    bool start(QString *error = nullptr);
    void stop();
    bool isRunning() const;

    // The path an application opens: the link when one is kept, else the terminal itself.
    QString portPath() const;
    QString terminalPath() const;

    // Faults, per address; a fault set replaces the previous one of that address (and ends an
    // endless stream of it that the new set does not keep).
    void setFaults(quint8 address, const SimFaults &faults);
    SimFaults faults(quint8 address) const; // as they stand now: lostWrites and unansweredRequests count down
    void clearFaults();
    // The adapter's echo of the host's own bytes (Options::adapterEchoes), switched at run time.
    void setAdapterEchoes(bool echoes);
    // Noise bytes written to the line between frames, every intervalMs (0 stops it).
    void setNoise(const QByteArray &bytes, int intervalMs);
    // Writes these bytes to the line at once, as a controller's late answer would arrive, and
    // returns once the application's port can read them (or after a second). For a moment when
    // the application does not read, such as a hook on its log; the bus waits meanwhile.
    void putOnLine(const QByteArray &bytes);
    // An unplugged adapter: the terminal is closed and the link removed; replug() opens a fresh
    // terminal and puts the link back.
    // An application holding the terminal open meets a hang-up at once, as with a pulled USB
    // adapter, even when it is not reading: the terminal reads as empty, so its QSerialPort reports
    // ReadError (ResourceError once it has tried to write) on every turn of its event loop for as
    // long as the port stays open, and waitForReadyRead fails at once. It must close the port.
    void unplug();
    bool replug(QString *error = nullptr);

    // Controllers present on the bus.
    void addController(quint8 address);
    void removeController(quint8 address);
    QList<quint8> addresses() const;

    // Registers of a controller, in the encoding of the register map.
    bool hasRegister(quint8 address, quint16 reg) const;
    float floatRegister(quint8 address, quint16 reg) const;
    int intRegister(quint8 address, quint16 reg) const;
    void setFloatRegister(quint8 address, quint16 reg, float value);
    void setIntRegister(quint8 address, quint16 reg, int value);

    // Every frame the controllers heard (whole frames with a correct CRC, and the rejected ones), in
    // order; the newest 100000 are kept. Writes lost by the lostWrites fault never reached a
    // controller and are not among them: lostFrameCount() counts them.
    QList<QByteArray> receivedFrames() const;
    // The frames received since the last call (or clear), removed from the list in the same step, so
    // that a long run can watch the traffic without missing a frame or keeping them all.
    QList<QByteArray> takeReceivedFrames();
    void clearReceivedFrames();
    int answersSent() const;
    // What the faults of one controller did to the sound requests it heard since the bus started
    // (or the counts were cleared): answers put on the line (corrupted ones among them), answers
    // left out, and requests it kept quiet to (silent, or unanswered requests).
    struct FaultCounts
    {
        int heard = 0;
        int answered = 0;
        int corrupted = 0;
        int dropped = 0;
        int unanswered = 0;
    };
    FaultCounts faultCounts(quint8 address) const;
    void clearFaultCounts();
    int lostFrameCount() const;
    // Requests that reached the line while an answer was on it (the wire time emulated with a baud
    // rate): the host sent before the line had fallen silent.
    int collisions() const;
    // Whether the line log and the heard frames below are kept (off as the bus starts): a bus left
    // running for days keeps only what is asked for.
    void keepLineLog(bool on);
    // What passed on the line since the last call, oldest first: "rx" and each frame the
    // controllers heard, "tx" and each answer or injected frame they sent with the faults applied
    // to it, and "fault" lines for what a fault kept off the line. The newest 100000 are kept.
    QStringList takeLineLog();
    // The frames the controllers heard since the last call, each with the time it was whole, in
    // nanoseconds of std::chrono::steady_clock; the newest 100000 are kept.
    struct Heard
    {
        QByteArray frame;
        qint64 heardNs = 0;
    };
    QList<Heard> takeHeard();

    // The data bytes of every read reply a controller put on the line for reads starting at `reg`
    // (four bytes for the usual read of two registers), oldest first; the newest
    // Options::servedValuesKept are kept per register. Decoys and streams are not among them;
    // corrupted answers are. Checks that every reading an application shows is one it was served.
    QList<QByteArray> servedValues(quint8 address, quint16 reg) const;
    // The same with the time each reply's last byte went on the line, in nanoseconds of
    // std::chrono::steady_clock: the clock on which the application stamps its readings.
    struct Served
    {
        QByteArray dataBytes;
        qint64 servedNs = 0;
    };
    QList<Served> servedWithTimes(quint8 address, quint16 reg) const;
    bool hasServed(quint8 address, quint16 reg, const QByteArray &dataBytes) const;
    void clearServedValues();

    // What the line carries when two controllers answer at once: where their bits differ it reads
    // the low one, and the longer answer runs on alone. Differing answers never make a sound frame:
    // on a real line the clash also breaks the characters' start and stop bits, while the AND of
    // two readings a noise apart passes its CRC about once in two thousand reads.
    static QByteArray collide(const QByteArray &first, const QByteArray &second);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
