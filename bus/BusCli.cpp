#include "BusCli.h"

#include "BusCodes.h"
#include "BusLink.h"
#include "BusMonitor.h"
#include "PortTrouble.h"
#include "ReadTally.h"
#include "Reading.h"
#include "RegisterMap.h"
#include "ScanReply.h"
#include "SerialPort.h"
#include "ToolArguments.h"
#include "WriteLimits.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTextStream>
#include <QThread>
#include <cmath>
#include <iostream>

struct BusCli::Options
{
    QString port;
    int baud = 9600;
    int timeout = 500;
    QString command;
    QStringList arguments;
    QString as = QStringLiteral("float");
    bool asFloat = false;
    bool force = false;  // a write that changes the controller itself
    bool header = false; // poll's CSV begins with the names of its columns
    int count = 1; // 0: until the process is stopped
    int interval = 1000;
    bool help = false;
    bool version = false;
};

namespace {

// Decimal, or hexadecimal with a 0x prefix (a leading 0 does not mean octal).
bool parseNumber(const QString &text, qlonglong &value)
{
    bool ok = false;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        value = text.mid(2).toLongLong(&ok, 16);
    else
        value = text.toLongLong(&ok, 10);
    return ok;
}

bool parseInRange(const QString &text, qlonglong low, qlonglong high, int &value)
{
    qlonglong parsed = 0;
    if (!parseNumber(text, parsed) || parsed < low || parsed > high)
        return false;
    value = int(parsed);
    return true;
}

} // namespace

BusCli::BusCli(QTextStream &out, QTextStream &err) : m_out(out), m_err(err) {}

QString BusCli::usage()
{
    return QStringLiteral(
        "usage: quorix-cli --port PATH [--baud N] [--timeout MS] COMMAND\n"
        "       quorix-cli --help | --version\n"
        "  scan                                      addresses that answer, one per line\n"
        "  read ADDR REG [--as float|u16|i32]        value of a two-register read\n"
        "  write ADDR REG VALUE [--float] [--force]  16-bit (or float) write, checked by its echo; a\n"
        "                                            value beyond what the register takes is refused,\n"
        "                                            a device command (0x2000, 0x2002), the address\n"
        "                                            (0x301C) and the baud rate (0x301E) need --force\n"
        "  poll ADDR [--count N] [--interval MS]     CSV: time, flow, cumulative, temperature, pressure "
        "(KPa);\n"
        "                                            a field is empty when unanswered or not a number;\n"
        "                                            --header: first a line naming the columns\n"
        "  monitor [ADDR...] [--count N] [--interval MS]  polls as poll does (the devices a scan finds\n"
        "                                            when none is named) and prints every frame: time,\n"
        "                                            TX or RX, address, function, bytes, outcome\n"
        "  bridge --mqtt HOST[:PORT] ...             polls every controller found and publishes over MQTT\n"
        "                                            (quorix-cli --port PATH bridge --help for its options)\n"
        "  ramp ADDR TARGET --rate R                 setpoint from what ADDR holds to TARGET at R sccm/s,\n"
        "                                            one write a second; 0 at once on a signal\n"
        "                                            (quorix-cli --port PATH ramp --help for more)\n"
        "  mix A:F:FS,... --total T [--policy ratio|total]  2 to 4 controllers their share F % (full\n"
        "                                            scale FS sccm) of the total T, once, confirmed; the\n"
        "                                            plan as one JSON line (quorix-cli mix --help for more)\n"
        "  backup ADDR | restore ADDR FILE | diff A B  a controller's settings as a file, compared and\n"
        "                                            restored (quorix-cli backup --help for their options)\n"
        "REG in decimal or 0x hex; --count 0 polls until stopped; defaults: --baud 9600 --timeout 500\n"
        "--count 1 --interval 1000. An option's value follows it or joins it with '=': --port=PATH.\n"
        "Exit codes: 0 success, 1 no or unsound answer or no number, 2 bad usage or port.\n");
}

int BusCli::fail(int code, const QString &message)
{
    m_err << "quorix-cli: " << message << '\n';
    m_err.flush();
    return code;
}

int BusCli::run(const QStringList &args)
{
    Options options;
    const int parsed = parse(args, options);
    if (parsed != Success)
        return parsed;
    if (options.help || options.version) {
        m_out << (options.help ? usage() : ToolArguments(QStringLiteral("quorix-cli")).versionLine() + '\n');
        m_out.flush();
        return Success;
    }
    return execute(options);
}

int BusCli::parse(const QStringList &args, Options &options)
{
    ToolArguments line(QStringLiteral("quorix-cli"));
    line.addFlag(QStringLiteral("float"));
    line.addFlag(QStringLiteral("force"));
    line.addFlag(QStringLiteral("header"));
    line.addFlag(QStringLiteral("verbose")); // the entry point decides where the worker's log goes
    for (const char *name : {"port", "baud", "timeout", "as", "count", "interval"})
        line.addValue(QLatin1String(name));
    const bool parsed = line.parse(args);
    options.help = line.helpRequested();
    options.version = line.versionRequested();
    if (options.help || options.version)
        return Success;
    if (!parsed)
        return fail(BadUsage, line.error());

    // Every value given is checked, also one a later repetition of its option replaces.
    const auto bad = [this](const QString &name, const QString &value) {
        return fail(BadUsage, QStringLiteral("bad value for --%1: %2").arg(name, value));
    };
    struct Range
    {
        QString name;
        qlonglong low;
        qlonglong high;
        int *value;
    };
    for (const Range &range :
         {Range{"baud", 1, 4000000, &options.baud}, Range{"timeout", 1, 600000, &options.timeout},
          Range{"count", 0, INT_MAX, &options.count}, Range{"interval", 0, 86400000, &options.interval}}) {
        for (const QString &value : line.values(range.name)) {
            if (!parseInRange(value, range.low, range.high, *range.value))
                return bad(range.name, value);
        }
    }
    for (const QString &value : line.values(QStringLiteral("as"))) {
        if (!QStringList{"float", "u16", "i32"}.contains(value))
            return bad(QStringLiteral("as"), value);
        options.as = value;
    }
    options.port = line.value(QStringLiteral("port"));
    options.asFloat = line.isSet(QStringLiteral("float"));
    options.force = line.isSet(QStringLiteral("force"));
    options.header = line.isSet(QStringLiteral("header"));
    QStringList positional = line.positional();
    if (positional.isEmpty())
        return fail(BadUsage, QStringLiteral("no command given (try --help)"));
    options.command = positional.takeFirst();
    options.arguments = positional;
    static const QHash<QString, int> arity{
        {"scan", 0}, {"read", 2}, {"write", 3}, {"poll", 1}, {"monitor", -1}};
    if (!arity.contains(options.command))
        return fail(BadUsage, QStringLiteral("unknown command %1").arg(options.command));
    const int wanted = arity.value(options.command); // -1: any number of addresses
    if (wanted >= 0 && options.arguments.size() != wanted)
        return fail(
            BadUsage,
            QStringLiteral("%1 takes %2 argument(s)").arg(options.command).arg(arity.value(options.command)));
    if (options.port.isEmpty())
        return fail(BadUsage, QStringLiteral("--port is required"));
    if (wanted < 0)
        return parseAddresses(options.arguments);
    if (options.command != QLatin1String("scan")) {
        int number = 0;
        if (!parseInRange(options.arguments[0], 1, 255, number))
            return fail(BadUsage,
                        QStringLiteral("bad device address %1 (1 to 255)").arg(options.arguments[0]));
        if (options.arguments.size() > 1 && !parseInRange(options.arguments[1], 0, 0xFFFF, number))
            return fail(BadUsage,
                        QStringLiteral("bad register %1 (0 to 65535, or 0x hex)").arg(options.arguments[1]));
    }
    if (options.command == QLatin1String("write")) {
        const QString &value = options.arguments[2];
        bool ok = false;
        int number = 0;
        double written = 0;
        if (options.asFloat) {
            written = double(value.toFloat(&ok));
            ok = ok && std::isfinite(written);
        } else {
            ok = parseInRange(value, -32768, 65535, number);
            written = number;
        }
        if (!ok)
            return fail(BadUsage, QStringLiteral("bad value %1 for a %2 write")
                                      .arg(value, options.asFloat ? "float" : "16-bit"));
        return checkWrite(options, written);
    }
    return Success;
}

// A write the controller would take and regret: a value beyond what the windows let an operator
// commit to that register, or a change of the controller itself that the script did not insist on.
int BusCli::checkWrite(const Options &options, double value)
{
    qlonglong reg = 0;
    parseNumber(options.arguments[1], reg);
    const WriteLimits::Limit limit = WriteLimits::forRegister(quint16(reg));
    const QString name = QStringLiteral("0x") + QString::number(reg, 16).toUpper().rightJustified(4, QLatin1Char('0'));
    if (limit.listed && !WriteLimits::admits(limit, value))
        return fail(BadUsage, QStringLiteral("bad value %1 for register %2 (%3: %4 to %5)")
                                  .arg(options.arguments[2], name, QLatin1String(limit.what))
                                  .arg(limit.low, 0, 'f', 0)
                                  .arg(limit.high, 0, 'f', 0));
    if (!WriteLimits::takesFraction(limit) && value != std::floor(value))
        return fail(BadUsage, QStringLiteral("bad value %1 for register %2 (%3: a whole number)")
                                  .arg(options.arguments[2], name, QLatin1String(limit.what)));
    if (limit.needsForce && !options.force)
        return fail(BadUsage, QStringLiteral("writing register %1 (%2) changes the controller itself: add --force")
                                  .arg(name, QLatin1String(limit.what)));
    return Success;
}

int BusCli::execute(const Options &options)
{
    StandardOutputMute muted;
    BusLink link;
    link.setReplyTimeout(options.timeout);
    if (!link.open(options.port, options.baud))
        return fail(BadUsage, PortTrouble::cannotOpen(options.port, link.portError(), link.errorString()));

    int code = Success;
    if (options.command == QLatin1String("scan"))
        code = scan(link);
    else if (options.command == QLatin1String("read"))
        code = read(link, options);
    else if (options.command == QLatin1String("write"))
        code = write(link, options);
    else if (options.command == QLatin1String("poll"))
        code = poll(link, options);
    else
        code = monitor(link, options);
    m_out.flush();
    link.close();
    return code;
}

int BusCli::scan(BusLink &link)
{
    const QList<quint8> found = link.scan([] { return false; }).addresses;
    for (quint8 address : found)
        m_out << int(address) << '\n';
    if (found.isEmpty())
        return fail(NoAnswer, QStringLiteral("no device answered"));
    return Success;
}

int BusCli::read(BusLink &link, const Options &options)
{
    qlonglong address = 0;
    qlonglong reg = 0;
    parseNumber(options.arguments[0], address);
    parseNumber(options.arguments[1], reg);
    QByteArray reply;
    if (!link.readRegisters(quint8(address), quint16(reg), reply))
        return fail(NoAnswer, QStringLiteral("no sound answer from device %1").arg(address));
    if (options.as == QLatin1String("u16"))
        m_out << bytes_to_uint16(reply, 3) << '\n';
    else if (options.as == QLatin1String("i32"))
        m_out << bytes_to_int32(reply, 3) << '\n';
    else
        m_out << QString::number(double(bytes_to_float(reply, 3)), 'g', 7) << '\n';
    return Success;
}

int BusCli::write(BusLink &link, const Options &options)
{
    qlonglong address = 0;
    qlonglong reg = 0;
    parseNumber(options.arguments[0], address);
    parseNumber(options.arguments[1], reg);
    const QString &value = options.arguments[2];
    bool ok = false;
    if (options.asFloat) {
        ok = link.writeFloatRegister(quint8(address), quint16(reg), value.toFloat());
    } else {
        qlonglong number = 0;
        parseNumber(value, number);
        ok = link.writeRegister(quint8(address), quint16(reg), int(number));
    }
    if (!ok)
        return fail(NoAnswer, QStringLiteral("device %1 did not echo the write").arg(address));
    return Success;
}

int BusCli::poll(BusLink &link, const Options &options)
{
    qlonglong address = 0;
    parseNumber(options.arguments[0], address);
    ReadTally tally;
    int unusable = 0;
    if (options.header)
        m_out << "time,flow_sccm,total_L,temperature_C,pressure_kPa\n";
    QElapsedTimer clock;
    clock.start();
    for (int cycle = 0; options.count == 0 || cycle < options.count; ++cycle) {
        if (cycle > 0) {
            // Read once: a millisecond passing between a check and the sleep must not turn the
            // wait negative, which as an unsigned sleep never ends.
            const qint64 wait = qint64(cycle) * options.interval - clock.elapsed();
            if (wait > 0)
                QThread::msleep(ulong(wait));
        }
        QStringList fields{QDateTime::currentDateTime().toString(Qt::ISODateWithMs)};
        if (link.isLost())
            return fail(NoAnswer, QStringLiteral("port connection lost: %1")
                                      .arg(PortTrouble::loss(options.port, link.errorString())));
        link.beginRound(); // a controller out of step is checked again once a line
        for (int type = Bus::FirstReadingType; type <= Bus::LastReadingType; ++type) {
            QByteArray reply;
            const bool ok = link.readRegisters(quint8(address), RegisterMap::readingRegister(type), reply);
            tally.count(link.lastReadResult());
            if (!ok) {
                fields.append(QString());
                continue;
            }
            const Reading reading = Reading::fromReply(type, quint8(address), reply, link.lastByteTime());
            if (!reading.usable) {
                ++unusable;
                fields.append(QString());
                continue;
            }
            const bool flow = type <= Bus::code(Bus::ReadingType::CumulativeFlow);
            fields.append(QString::number(reading.value, 'f', flow ? 3 : 1));
        }
        m_out << fields.join(',') << '\n';
        m_out.flush();
    }
    if (tally.failed() + unusable > 0) {
        const QString numbers = unusable > 0 ? QStringLiteral(", %1 not a number").arg(unusable) : QString();
        return fail(NoAnswer, QStringLiteral("%1 of %2 reads of device %3 failed: %4%5")
                                  .arg(tally.failed() + unusable)
                                  .arg(tally.reads())
                                  .arg(address)
                                  .arg(tally.summary(), numbers));
    }
    return Success;
}

int BusCli::parseAddresses(const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        int number = 0;
        if (!parseInRange(argument, 1, 255, number))
            return fail(BadUsage, QStringLiteral("bad device address %1 (1 to 255)").arg(argument));
    }
    return Success;
}

int BusCli::monitor(BusLink &link, const Options &options)
{
    QList<quint8> addresses;
    for (const QString &argument : options.arguments) {
        qlonglong address = 0;
        parseNumber(argument, address);
        addresses.append(quint8(address));
    }
    if (addresses.isEmpty())
        addresses = link.scan([] { return false; }).addresses;
    if (addresses.isEmpty())
        return fail(NoAnswer, QStringLiteral("no device answered"));
    BusMonitor monitor(link, m_out);
    if (!monitor.run(addresses, options.count, options.interval))
        return fail(NoAnswer, QStringLiteral("port connection lost: %1")
                                  .arg(PortTrouble::loss(options.port, link.errorString())));
    const ReadTally &tally = monitor.tally();
    if (tally.failed() > 0)
        return fail(NoAnswer, QStringLiteral("%1 of %2 reads failed: %3")
                                  .arg(tally.failed())
                                  .arg(tally.reads())
                                  .arg(tally.summary()));
    return Success;
}
