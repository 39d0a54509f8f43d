#pragma once

#include <QSerialPort>
#include <QString>
#include <QStringList>

// What went wrong with a serial port, in words an operator can act on: the port's own texts
// ("Unknown error", "Permission error while locking the device") say neither that the adapter is
// gone nor who holds the port. English whatever the locale.
namespace PortTrouble {

// The programs, other than this one, that have `path` (or what it links to) open, each as
// "name (pid N)", from /proc/*/fd; empty where /proc does not tell.
QStringList holders(const QString &path);

// Why `path` could not be opened, from the port's error and its text.
QString openFailure(const QString &path, QSerialPort::SerialPortError error, const QString &reason);

// The whole line for a port that would not open: "cannot open port PATH: " and openFailure's reason.
QString cannotOpen(const QString &path, QSerialPort::SerialPortError error, const QString &reason);

// Why an open port was lost.
QString loss(const QString &path, const QString &reason);

} // namespace PortTrouble
