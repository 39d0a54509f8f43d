#include "BridgeCli.h"

#include "AdminPassword.h"
#include "TerminationSignals.h"
#include "ToolArguments.h"

#include <QCoreApplication>
#include <QHash>
#include <QTextStream>

namespace {

constexpr int BadUsage = 2;

const QStringList valueOptions{"port", "baud",          "timeout", "mqtt",   "prefix",
                               "user", "password-file", "cafile",  "period", "settings"};
const QStringList recordOptions{"record", "record-device", "types", "duration", "journal-dir"};

// The bridge's command line; `bridge` is its one positional argument.
void describe(ToolArguments &line)
{
    line.addFlag(QStringLiteral("allow-setpoints"));
    line.addFlag(QStringLiteral("verbose"));
    for (const QString &name : valueOptions + recordOptions)
        line.addValue(name);
}

bool parseInt(const QString &text, int low, int high, int &value)
{
    bool ok = false;
    const int parsed = text.toInt(&ok);
    if (!ok || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

} // namespace

BridgeCli::BridgeCli(QTextStream &out, QTextStream &err) : m_out(out), m_err(err) {}

bool BridgeCli::wants(const QStringList &args)
{
    // Read as the bridge reads it, so that the value of one of its options is never taken for the verb.
    ToolArguments line(QStringLiteral("quorix-cli"));
    describe(line);
    line.parse(args);
    return line.positional().value(0) == QLatin1String("bridge");
}

QString BridgeCli::usage()
{
    return QStringLiteral(
        "usage: quorix-cli --port PATH [--baud N] [--timeout MS] bridge --mqtt HOST[:PORT] [--prefix P]\n"
        "                  [--user U --password-file F] [--cafile F] [--allow-setpoints] [--period MS]\n"
        "                  [--settings FILE]\n"
        "                  [--record FILE --record-device A [--types flow,total,temperature,pressure]\n"
        "                   --duration 2h [--journal-dir DIR]]\n"
        "Scans, polls every controller found and publishes under P (default quorix/<host name>) until\n"
        "SIGINT or SIGTERM. --allow-setpoints obeys P/A/setpoint/set, P/A/total_setpoint/set and P/stop.\n"
        "--settings FILE takes the controllers' ramp rates and alarms from the application's process\n"
        "settings file (~/.config/quorix-rs485/process.json): remote flow setpoints ramp, alarms are\n"
        "published on P/A/alarm and P/alarms and acknowledged through P/A/alarm/ack.\n"
        "--record keeps a data file of controller A (all four types unless --types) from its first\n"
        "reading on for the duration (2h, 90m, 45s, 1h30m), through a journal in the data folder (or\n"
        "DIR) that the next start turns into the file if the bridge was killed. --mqtt may then be left out.\n"
        "Defaults: --baud 9600 --timeout 500 --period 1000, port 1883 (TLS with --cafile: give the port).\n"
        "An option's value follows it or joins it with '=': --mqtt=HOST. --version shows the version.\n"
        "Exit codes: 0 stopped by a signal, 1 no controller answered, 2 bad usage, password file or port.\n");
}

int BridgeCli::fail(const QString &message)
{
    m_err << "quorix-cli: " << message << '\n';
    m_err.flush();
    return BadUsage;
}

bool BridgeCli::parseBroker(const QString &text, MqttSettings &settings)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    settings.host = colon < 0 ? text : text.left(colon);
    if (colon >= 0 && !parseInt(text.mid(colon + 1), 1, 65535, settings.port))
        return false;
    return !settings.host.isEmpty();
}

int BridgeCli::parse(const ToolArguments &line, HeadlessBridge::Options &options)
{
    for (const QString &arg : line.positional()) {
        if (arg != QLatin1String("bridge"))
            return fail(QStringLiteral("unknown argument %1 for bridge (try --help)").arg(arg));
    }
    QString passwordFile;
    bool brokerGiven = false;
    MqttSettings &mqtt = options.mqtt;
    mqtt.publish = true;
    mqtt.allowSetpoints = line.isSet(QStringLiteral("allow-setpoints"));
    // In the order typed: the first bad value is the one named.
    QHash<QString, int> taken;
    for (const QString &option : line.optionsInOrder()) {
        const QString name = option.mid(2);
        if (!valueOptions.contains(name))
            continue;
        const QString value = line.values(name).value(taken[name]++);
        bool ok = true;
        if (name == QLatin1String("port"))
            options.port = value;
        else if (name == QLatin1String("baud"))
            ok = parseInt(value, 1, 4000000, options.baud);
        else if (name == QLatin1String("timeout"))
            ok = parseInt(value, 1, 600000, options.replyTimeoutMs);
        else if (name == QLatin1String("period"))
            ok = parseInt(value, 50, 86400000, options.periodMs);
        else if (name == QLatin1String("mqtt"))
            ok = brokerGiven = parseBroker(value, mqtt);
        else if (name == QLatin1String("prefix"))
            ok = !(mqtt.prefix = MqttSettings::cleanPrefix(value)).isEmpty();
        else if (name == QLatin1String("user"))
            mqtt.user = value;
        else if (name == QLatin1String("password-file"))
            passwordFile = value;
        else if (name == QLatin1String("settings"))
            options.settingsFile = value;
        else
            mqtt.caFile = value;
        if (!ok)
            return fail(QStringLiteral("bad value for %1: %2").arg(option, value));
    }
    if (options.port.isEmpty())
        return fail(QStringLiteral("--port is required"));
    if (const int code = parseRecording(line))
        return code;
    if (!brokerGiven && m_record.file.isEmpty())
        return fail(QStringLiteral("bridge needs --mqtt HOST[:PORT]"));
    mqtt.publish = brokerGiven;
    if (!passwordFile.isEmpty()) {
        // The first line of a small regular file: a pipe or a device would block or fill the bridge.
        // The password itself is never printed.
        QString error;
        if (!AdminPassword::readFile(passwordFile, mqtt.password, error))
            return fail(QStringLiteral("password file: %1").arg(error));
    }
    return 0;
}

int BridgeCli::parseRecording(const ToolArguments &line)
{
    const auto value = [&line](const char *name) { return line.values(QLatin1String(name)).value(0); };
    m_record.file = value("record");
    m_record.journalFolder = value("journal-dir");
    if (m_record.file.isEmpty()) {
        for (const QString &name : recordOptions) {
            if (!line.values(name).isEmpty())
                return fail(QStringLiteral("--%1 needs --record FILE").arg(name));
        }
        return 0;
    }
    bool ok = false;
    m_record.device = value("record-device").toInt(&ok);
    if (!ok || m_record.device < 1 || m_record.device > 247)
        return fail(QStringLiteral("--record needs --record-device A (1 to 247)"));
    if (!line.values(QStringLiteral("types")).isEmpty() && !BridgeRecording::parseTypes(value("types"), &m_record.types))
        return fail(QStringLiteral("bad value for --types: %1").arg(value("types")));
    if (!BridgeRecording::parseDuration(value("duration"), &m_record.durationSeconds))
        return fail(QStringLiteral("--record needs --duration such as 2h, 90m or 45s (at most 596h)"));
    return 0;
}

int BridgeCli::run(const QStringList &args)
{
    ToolArguments line(QStringLiteral("quorix-cli"));
    describe(line);
    const bool parsed = line.parse(args);
    if (line.helpRequested() || line.versionRequested()) {
        m_out << (line.helpRequested() ? usage() : line.versionLine() + QLatin1Char('\n'));
        m_out.flush();
        return 0;
    }
    if (!parsed && !line.unknownOption().isEmpty())
        return fail(QStringLiteral("unknown argument %1 for bridge (try --help)").arg(line.unknownOption()));
    if (!parsed)
        return fail(line.error());
    HeadlessBridge::Options options;
    const int code = parse(line, options);
    if (code != 0)
        return code;
    TerminationSignals termination;
    HeadlessBridge bridge(options, m_err);
    QString settingsError;
    if (!bridge.loadProcessSettings(&settingsError))
        return fail(QStringLiteral("cannot use the settings file: ") + settingsError);
    const auto log = [&bridge](const QString &text) { bridge.log(text); };
    // Declared after the bridge: a recording running at a stop is saved before the bridge goes.
    std::unique_ptr<BridgeRecording> recording;
    if (!m_record.file.isEmpty()) {
        BridgeRecording::recoverLeftovers(m_record.journalFolder, log);
        recording = std::make_unique<BridgeRecording>(m_record, bridge.model(), log);
    }
    QObject::connect(&termination, &TerminationSignals::received, &bridge, &HeadlessBridge::stop);
    QObject::connect(&bridge, &HeadlessBridge::finished, qApp, &QCoreApplication::exit, Qt::QueuedConnection);
    bridge.start();
    return QCoreApplication::exec();
}
