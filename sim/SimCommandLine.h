#pragma once

#include "SimBus.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// The options of the quorix-sim tool, parsed from its arguments.
struct SimCommandLine
{
    SimBus::Options bus;
    QMap<quint8, SimFaults> faults;
    QByteArray noiseBytes;
    int noiseIntervalMs = 0;
    bool logFrames = false; // print every received frame on standard output
    bool helpRequested = false;
    bool versionRequested = false;

    // Parses the arguments (without the program name). On a bad argument returns false and
    // explains it in *error.
    bool parse(const QStringList &arguments, QString *error);
    // One line that says what runs: devices, timing, seed and every fault.
    QString summary(const QString &terminal) const;
    static QString usage();
    // "quorix-sim 2.0.0"
    static QString versionLine();
};
