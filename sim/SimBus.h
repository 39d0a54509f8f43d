#pragma once

#include "SimFaults.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>

class SimController;

// A bus of simulated controllers served on a pseudo-terminal, exactly as real controllers answer
// on the wire. It runs on a thread of its own; every public method is thread-safe.
class SimBus
{
public:
    struct Options
    {
        QList<quint8> addresses{1, 2, 3};
        int baud = 0;              // 0: answer as fast as possible; N: emulate the wire time at N baud
        double turnaroundMs = 2.0; // the controller's answer delay after a request, with baud > 0
        quint32 seed = 1;          // seeds every random fault and the readings' noise
        QString linkPath;          // when set, a symbolic link to the terminal is kept here
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

    // Faults, per address; a fault set replaces the previous one of that address.
    void setFaults(quint8 address, const SimFaults &faults);
    void clearFaults();
    // Noise bytes written to the line between frames, every intervalMs (0 stops it).
    void setNoise(const QByteArray &bytes, int intervalMs);
    // An unplugged adapter: the terminal is closed; replug() opens a fresh one (the link follows).
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

    // Every frame the bus received (whole frames with a correct CRC, and the rejected ones), in order.
    QList<QByteArray> receivedFrames() const;
    void clearReceivedFrames();
    int answersSent() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
