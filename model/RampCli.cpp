#include "RampCli.h"

#include "RegisterReply.h"

#include "BusLink.h"
#include "PortTrouble.h"
#include "SerialPort.h"
#include "SetpointRamp.h"
#include "TerminationSignals.h"
#include "ToolArguments.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>
#include <cmath>
#include <iostream>

struct RampCli::Options
{
    QString port;
    int baud = 9600;
    int timeout = 500;
    quint8 address = 0;
    float target = 0;
    double rate = 0;
};

namespace {

enum ExitCode
{
    Success = 0,
    NoAnswer = 1,
    BadUsage = 2
};

constexpr quint16 kFlowSetpoint = 0x303E;
constexpr float kHighestTarget = 999999.0f;

const QStringList rampValueOptions{"port", "baud", "timeout", "rate"};

void describeRamp(ToolArguments &line)
{
    line.addFlag(QStringLiteral("verbose")); // the entry point decides where the worker's log goes
    for (const QString &name : rampValueOptions)
        line.addValue(name);
}

QString setpointText(float value)
{
    return QString::number(double(value), 'g', 7);
}

} // namespace

RampCli::RampCli(QTextStream &out, QTextStream &err) : m_out(out), m_err(err) {}

bool RampCli::wants(const QStringList &args)
{
    // Read as the ramp reads it, so that the value of one of its options is never taken for the verb.
    ToolArguments line(QStringLiteral("quorix-cli"));
    describeRamp(line);
    line.parse(args);
    return line.positional().value(0) == QLatin1String("ramp");
}

QString RampCli::usage()
{
    return QStringLiteral(
        "usage: quorix-cli --port PATH [--baud N] [--timeout MS] ramp ADDR TARGET --rate R\n"
        "Takes controller ADDR (1 to 247) from the setpoint it holds to TARGET (0 to 999999 sccm) at R\n"
        "sccm/s, one write a second, each printed as time,value,yes|no (yes: the controller echoed it).\n"
        "TARGET 0 is written at once. SIGINT, SIGTERM or a write unconfirmed after 3 tries writes 0 at once.\n"
        "Exit codes: 0 the target confirmed, 1 no sound answer, a write unconfirmed or a signal,\n"
        "2 bad usage or port.\n");
}

int RampCli::fail(int code, const QString &message)
{
    m_err << "quorix-cli: " << message << '\n';
    m_err.flush();
    return code;
}

int RampCli::parse(const QStringList &args, Options &options)
{
    ToolArguments line(QStringLiteral("quorix-cli"));
    describeRamp(line);
    if (!line.parse(args))
        return fail(BadUsage, line.error());
    QHash<QString, int> taken;
    for (const QString &option : line.optionsInOrder()) {
        const QString name = option.mid(2);
        if (!rampValueOptions.contains(name))
            continue;
        const QString value = line.values(name).value(taken[name]++);
        bool ok = true;
        if (name == QLatin1String("port"))
            options.port = value;
        else if (name == QLatin1String("baud"))
            ok = ToolArguments::wholeNumber(value, 1, 4000000, options.baud);
        else if (name == QLatin1String("timeout"))
            ok = ToolArguments::wholeNumber(value, 1, 600000, options.timeout);
        else
            options.rate = value.toDouble(&ok);
        // NaN and infinity fail here too: a rate must take a finite time.
        if (name == QLatin1String("rate") && !(ok && options.rate > 0 && std::isfinite(options.rate)))
            return fail(BadUsage, QStringLiteral("bad rate %1 (sccm/s, above 0)").arg(value));
        if (!ok)
            return fail(BadUsage, QStringLiteral("bad value for %1: %2").arg(option, value));
    }
    const QStringList positional = line.positional();
    if (positional.size() != 3)
        return fail(BadUsage, QStringLiteral("ramp takes 2 arguments: ADDR TARGET"));
    int address = 0;
    if (!ToolArguments::wholeNumber(positional[1], 1, 247, address))
        return fail(BadUsage, QStringLiteral("bad device address %1 (1 to 247)").arg(positional[1]));
    options.address = quint8(address);
    bool ok = false;
    options.target = positional[2].toFloat(&ok);
    if (!ok || !(options.target >= 0.0f && options.target <= kHighestTarget))
        return fail(BadUsage, QStringLiteral("bad target %1 (0 to 999999 sccm)").arg(positional[2]));
    if (options.port.isEmpty())
        return fail(BadUsage, QStringLiteral("--port is required"));
    if (!line.isSet(QStringLiteral("rate")))
        return fail(BadUsage, QStringLiteral("ramp needs --rate R (sccm/s)"));
    return Success;
}

int RampCli::run(const QStringList &args)
{
    ToolArguments help(QStringLiteral("quorix-cli"));
    describeRamp(help);
    help.parse(args);
    if (help.helpRequested() || help.versionRequested()) {
        m_out << (help.helpRequested() ? usage() : help.versionLine() + QLatin1Char('\n'));
        m_out.flush();
        return Success;
    }
    Options options;
    const int parsed = parse(args, options);
    if (parsed != Success)
        return parsed;

    // Caught before the port opens: from here on a signal never leaves the controller unattended.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, [this](int number) { m_signal = number; });
    StandardOutputMute quiet;
    BusLink link;
    link.setReplyTimeout(options.timeout);
    if (!link.open(options.port, options.baud))
        return fail(BadUsage, PortTrouble::cannotOpen(options.port, link.portError(), link.errorString()));
    const int code = ramp(link, options, termination);
    m_out.flush();
    link.close();
    return code;
}

int RampCli::ramp(BusLink &link, const Options &options, TerminationSignals &termination)
{
    QByteArray reply;
    if (!link.readRegisters(options.address, kFlowSetpoint, reply))
        return fail(NoAnswer, QStringLiteral("no sound answer from device %1").arg(options.address));
    SetpointRamp rule(options.rate);
    rule.aim(options.target, RegisterReply::fromFrame(1, options.address, reply, link.lastByteTime()).asFloat);
    QElapsedTimer clock;
    clock.start();
    for (int tick = 0;; ++tick) {
        const qint64 due = qint64(tick * SetpointRamp::TickSeconds * 1000);
        if (clock.elapsed() < due) {
            QEventLoop wait;
            QTimer::singleShot(int(due - clock.elapsed()), &wait, &QEventLoop::quit);
            QObject::connect(&termination, &TerminationSignals::received, &wait, &QEventLoop::quit);
            wait.exec();
        }
        QCoreApplication::processEvents(); // a signal that came during the last write
        if (m_signal != 0)
            return stopFlow(link, options.address, QStringLiteral("stopped by signal %1").arg(m_signal));
        const std::optional<float> value = rule.step();
        if (!value)
            return Success; // not reached: the last step is the target
        if (!write(link, options.address, *value))
            return stopFlow(link, options.address,
                            QStringLiteral("device %1 did not confirm %2 after %3 tries")
                                .arg(options.address)
                                .arg(setpointText(*value))
                                .arg(WriteAttempts));
        if (!rule.isRunning())
            return Success;
    }
}

bool RampCli::write(BusLink &link, quint8 address, float value)
{
    bool confirmed = false;
    for (int attempt = 0; attempt < WriteAttempts && !confirmed; ++attempt)
        confirmed = link.writeFloatRegister(address, kFlowSetpoint, value);
    m_out << QDateTime::currentDateTime().toString(Qt::ISODateWithMs) << ',' << setpointText(value) << ','
          << (confirmed ? "yes" : "no") << '\n';
    m_out.flush();
    return confirmed;
}

int RampCli::stopFlow(BusLink &link, quint8 address, const QString &why)
{
    const bool stopped = write(link, address, 0.0f);
    return fail(NoAnswer, why + (stopped ? QStringLiteral("; 0 written") : QStringLiteral("; 0 not confirmed")));
}
