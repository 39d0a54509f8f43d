#include "SimCommandLine.h"

#include "ToolArguments.h"

#include <QHash>
#include <functional>

namespace {

bool parseAddress(const QString &text, quint8 *address)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 1 || value > 247)
        return false;
    *address = quint8(value);
    return true;
}

bool parseInt(const QString &text, int minimum, int *value)
{
    bool ok = false;
    *value = text.trimmed().toInt(&ok);
    return ok && *value >= minimum;
}

// A register number, decimal or with 0x in front.
bool parseRegister(const QString &text, quint16 *reg)
{
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok, 0);
    if (!ok || value > 0xFFFF)
        return false;
    *reg = quint16(value);
    return true;
}

bool parseFraction(const QString &text, double *value)
{
    bool ok = false;
    *value = text.trimmed().toDouble(&ok);
    return ok && *value >= 0.0 && *value <= 1.0;
}

bool parseHex(const QString &text, QByteArray *bytes)
{
    const QString digits = text.trimmed().remove(QLatin1Char(' '));
    static const QRegExp hex(QStringLiteral("([0-9A-Fa-f]{2})+"));
    if (!hex.exactMatch(digits))
        return false;
    *bytes = QByteArray::fromHex(digits.toLatin1());
    return true;
}

QString describe(quint8 address, const SimFaults &faults)
{
    QStringList parts;
    if (faults.silent)
        parts << QStringLiteral("silent");
    if (faults.dropFraction > 0)
        parts << QStringLiteral("drop %1").arg(faults.dropFraction);
    if (faults.corruptFraction > 0)
        parts << QStringLiteral("corrupt %1").arg(faults.corruptFraction);
    if (faults.lateMs > 0 && faults.lateRegister != 0)
        parts << QStringLiteral("reads of 0x%1 late %2 ms")
                     .arg(faults.lateRegister, 4, 16, QLatin1Char('0'))
                     .arg(faults.lateMs);
    else if (faults.lateMs > 0)
        parts << QStringLiteral("late %1 ms").arg(faults.lateMs);
    if (faults.chunkSize > 0)
        parts << QStringLiteral("chunks of %1 every %2 ms").arg(faults.chunkSize).arg(faults.chunkGapMs);
    if (faults.cutAfterBytes > 0)
        parts << QStringLiteral("cut after %1 bytes").arg(faults.cutAfterBytes);
    if (!faults.extraBytes.isEmpty())
        parts << QStringLiteral("extra %1").arg(QString::fromLatin1(faults.extraBytes.toHex().toUpper()));
    if (!faults.strayBefore.isEmpty())
        parts << QStringLiteral("stray %1").arg(QString::fromLatin1(faults.strayBefore.toHex().toUpper()));
    if (faults.soundFrameBeforeAnswer)
        parts << QStringLiteral("sound frame before the answer");
    if (faults.endlessStream)
        parts << QStringLiteral("endless stream");
    if (faults.lostWrites > 0)
        parts << QStringLiteral("%1 writes lost").arg(faults.lostWrites);
    if (faults.twin)
        parts << QStringLiteral("two controllers at this address");
    if (faults.lagSeconds > 0)
        parts << QStringLiteral("flow lags %1 s").arg(faults.lagSeconds);
    if (faults.stuck)
        parts << QStringLiteral("valve stuck");
    return QStringLiteral("%1: %2").arg(address).arg(parts.join(QStringLiteral(", ")));
}

} // namespace

QString SimCommandLine::usage()
{
    return QStringLiteral(
        "Usage: quorix-sim [options]\n"
        "Serves simulated QUORIX flow controllers on a pseudo-terminal. The first line printed is the\n"
        "path an application opens as its serial port. Runs until SIGINT or SIGTERM.\n"
        "\n"
        "  --devices LIST          bus addresses that answer, e.g. 1,3,12 (default 1,2,3)\n"
        "  --baud N                emulate the wire time at N baud; 0 answers at once (default 0)\n"
        "  --turnaround MS         the controllers' answer delay with --baud N (default 2)\n"
        "  --link PATH             keep a symbolic link to the terminal at PATH\n"
        "  --seed N                seed of the random faults and the readings' noise (default 1)\n"
        "  --silent A              controller A never answers\n"
        "  --drop A:F              leave out the fraction F (0..1) of A's answers\n"
        "  --corrupt A:F           send the fraction F of A's answers with a wrong CRC\n"
        "  --late A:MS             A answers MS milliseconds late\n"
        "  --late-register A:REG   only A's answers to reads of register REG (e.g. 0x1000) are late\n"
        "  --chunks A:SIZE:GAP     A's answers go out in SIZE-byte chunks, GAP ms apart\n"
        "  --cut A:N               A's answers break off after N bytes (a cut-off echo)\n"
        "  --extra A:HEX           append the bytes HEX to every answer of A (after a cut)\n"
        "  --stray A:HEX           send the bytes HEX straight before every answer of A\n"
        "  --sound-before A        a sound read reply of A holding -9999 runs straight into each answer\n"
        "  --endless A             after a request, A sends bytes without end instead of answering\n"
        "  --lose-writes A:N       the next N write requests to A vanish before A hears them\n"
        "  --twin A                a second controller at address A answers with it, their answers collide\n"
        "  --lag A:SECONDS         A's flow follows its setpoint with this time constant (default 0.5)\n"
        "  --stuck A               A's valve does not move: its flow stays where it is, whatever the setpoint\n"
        "  --adapter-echo          the adapter hands every byte sent back to the host before any answer\n"
        "  --noise HEX:MS          write the bytes HEX on the line every MS milliseconds\n"
        "  --log-frames            print every frame received, as \"rx\" and its bytes in hex\n"
        "  --help                  show this text\n"
        "  --version               show the version\n"
        "An option's value follows it or joins it with '=': --baud 9600 or --baud=9600.\n"
        "Fault options may be repeated and combined for one address.\n");
}

bool SimCommandLine::parse(const QStringList &arguments, QString *error)
{
    // An address followed by fields separated by ':'; the handler checks the fields.
    const auto addressed = [this](int fields,
                                  const std::function<bool(SimFaults &, const QStringList &)> &apply) {
        return [this, fields, apply](const QString &value) {
            const QStringList parts = value.split(QLatin1Char(':'));
            quint8 address = 0;
            if (parts.size() != fields + 1 || !parseAddress(parts[0], &address))
                return false;
            SimFaults updated = faults.value(address);
            if (!apply(updated, parts.mid(1)))
                return false;
            faults[address] = updated;
            return true;
        };
    };
    const auto set = [](bool SimFaults::*field) {
        return [field](SimFaults &f, const QStringList &) { return f.*field = true; };
    };
    // Each option that takes a value, with what it does to the options read so far.
    const QHash<QString, std::function<bool(const QString &)>> valued{
        {"devices",
         [this](const QString &value) {
             bus.addresses.clear();
             for (const QString &part : value.split(QLatin1Char(','))) {
                 quint8 address = 0;
                 if (!parseAddress(part, &address))
                     return false;
                 if (!bus.addresses.contains(address))
                     bus.addresses.append(address);
             }
             return true;
         }},
        {"baud", [this](const QString &value) { return parseInt(value, 0, &bus.baud); }},
        {"turnaround",
         [this](const QString &value) {
             bool ok = false;
             bus.turnaroundMs = value.toDouble(&ok);
             return ok && bus.turnaroundMs >= 0.0;
         }},
        {"link",
         [this](const QString &value) {
             bus.linkPath = value;
             return !value.isEmpty();
         }},
        {"seed",
         [this](const QString &value) {
             bool ok = false;
             bus.seed = value.toUInt(&ok);
             return ok;
         }},
        {"silent", addressed(0, set(&SimFaults::silent))},
        {"drop", addressed(1, [](SimFaults &f,
                                 const QStringList &p) { return parseFraction(p[0], &f.dropFraction); })},
        {"corrupt",
         addressed(
             1, [](SimFaults &f, const QStringList &p) { return parseFraction(p[0], &f.corruptFraction); })},
        {"late",
         addressed(1, [](SimFaults &f, const QStringList &p) { return parseInt(p[0], 0, &f.lateMs); })},
        {"chunks", addressed(2,
                             [](SimFaults &f, const QStringList &p) {
                                 return parseInt(p[0], 1, &f.chunkSize) && parseInt(p[1], 0, &f.chunkGapMs);
                             })},
        {"cut", addressed(1, [](SimFaults &f,
                                const QStringList &p) { return parseInt(p[0], 1, &f.cutAfterBytes); })},
        {"extra",
         addressed(1, [](SimFaults &f, const QStringList &p) { return parseHex(p[0], &f.extraBytes); })},
        {"late-register", addressed(1,
                                    [](SimFaults &f, const QStringList &p) {
                                        return parseRegister(p[0], &f.lateRegister) && f.lateRegister != 0;
                                    })},
        {"stray",
         addressed(1, [](SimFaults &f, const QStringList &p) { return parseHex(p[0], &f.strayBefore); })},
        {"sound-before", addressed(0, set(&SimFaults::soundFrameBeforeAnswer))},
        {"endless", addressed(0, set(&SimFaults::endlessStream))},
        {"lose-writes",
         addressed(1, [](SimFaults &f, const QStringList &p) { return parseInt(p[0], 1, &f.lostWrites); })},
        {"twin", addressed(0, set(&SimFaults::twin))},
        {"lag", addressed(1,
                          [](SimFaults &f, const QStringList &p) {
                              bool ok = false;
                              f.lagSeconds = p[0].trimmed().toDouble(&ok);
                              // "inf" reads as a number too; an hour is already far beyond any valve.
                              return ok && f.lagSeconds > 0.0 && f.lagSeconds <= 3600.0;
                          })},
        {"stuck", addressed(0, set(&SimFaults::stuck))},
        {"noise",
         [this](const QString &value) {
             const QStringList parts = value.split(QLatin1Char(':'));
             return parts.size() == 2 && parseHex(parts[0], &noiseBytes) &&
                    parseInt(parts[1], 1, &noiseIntervalMs);
         }},
    };

    ToolArguments line(QStringLiteral("quorix-sim"));
    line.addFlag(QStringLiteral("log-frames"));
    line.addFlag(QStringLiteral("adapter-echo"));
    for (auto it = valued.cbegin(); it != valued.cend(); ++it)
        line.addValue(it.key());
    const bool parsed = line.parse(arguments);
    helpRequested = line.helpRequested();
    versionRequested = line.versionRequested();
    if (helpRequested || versionRequested)
        return true;
    if (!parsed) {
        *error = line.error();
        return false;
    }
    if (!line.positional().isEmpty()) {
        *error = QStringLiteral("unexpected argument \"%1\"").arg(line.positional().first());
        return false;
    }
    logFrames = line.isSet(QStringLiteral("log-frames"));
    bus.adapterEchoes = line.isSet(QStringLiteral("adapter-echo"));
    // In the order typed, so that a later value of an option overrides an earlier one and the first
    // bad value is the one named.
    QHash<QString, int> taken;
    for (const QString &option : line.optionsInOrder()) {
        const QString name = option.mid(2);
        if (!valued.contains(name))
            continue;
        const QString value = line.values(name).value(taken[name]++);
        if (!valued[name](value)) {
            *error = QStringLiteral("invalid value for %1: \"%2\"").arg(option, value);
            return false;
        }
    }
    return true;
}

QString SimCommandLine::versionLine()
{
    return ToolArguments(QStringLiteral("quorix-sim")).versionLine();
}

QString SimCommandLine::summary(const QString &terminal) const
{
    QStringList devices;
    for (quint8 address : bus.addresses)
        devices << QString::number(address);
    QString line = QStringLiteral("quorix-sim: devices %1 on %2, baud %3, turnaround %4 ms, seed %5")
                       .arg(devices.join(QLatin1Char(',')), terminal)
                       .arg(bus.baud)
                       .arg(bus.turnaroundMs)
                       .arg(bus.seed);
    QStringList faultTexts;
    for (auto it = faults.cbegin(); it != faults.cend(); ++it)
        faultTexts << describe(it.key(), it.value());
    if (noiseIntervalMs > 0)
        faultTexts << QStringLiteral("noise %1 every %2 ms")
                          .arg(QString::fromLatin1(noiseBytes.toHex().toUpper()))
                          .arg(noiseIntervalMs);
    if (bus.adapterEchoes)
        faultTexts << QStringLiteral("the adapter echoes every byte sent");
    if (!faultTexts.isEmpty())
        line += QStringLiteral("; faults: ") + faultTexts.join(QStringLiteral("; "));
    return line;
}
