#include "BackupCli.h"

#include "AdminPassword.h"
#include "AuditTrail.h"
#include "BusLink.h"
#include "PortTrouble.h"
#include "RegisterReply.h"
#include "RegularFile.h"
#include "ToolArguments.h"

#include <QFile>
#include <QTextStream>
#include <iostream>

using namespace ParameterBackup;

struct BackupCli::Options
{
    QString port;
    int baud = 9600;
    int timeout = 500;
    QString command;
    QStringList arguments;
    QString passwordFile;
    QStringList only;
    bool yes = false;
    bool help = false;
    bool version = false;
};

namespace {

const QStringList BackupVerbs{QStringLiteral("backup"), QStringLiteral("restore"), QStringLiteral("diff")};

// A restore's lines in the application's audit trail: one per parameter written, from this tool at
// the level its password gave.
class RestoreTrail
{
public:
    RestoreTrail(quint8 address, int from, bool administrator)
        : m_trail(nullptr, AuditTrail::defaultFolder()), m_address(address), m_from(from),
          m_source(m_trail.sourceOf(Driver::operatorRow(), QStringLiteral("quorix-cli"),
                                    administrator ? QStringLiteral("administrator") : QStringLiteral("operator")))
    {
    }
    void ask(const Row &row, const QString &refused = QString())
    {
        const auto number = [](const std::optional<Value> &v) {
            return v && !v->masked ? QJsonValue(v->value) : QJsonValue();
        };
        const QString name = QLatin1String(row.parameter->name);
        m_trail.request(name, {m_address, m_from == m_address ? QStringLiteral("restore") : QStringLiteral("clone"),
                               number(row.right), number(row.left), m_source,
                               QJsonObject{{QStringLiteral("parameter"), name}, {QStringLiteral("from"), m_from}}},
                        refused);
    }
    void end(const Row &row, const QString &failure)
    {
        m_trail.finish(QLatin1String(row.parameter->name),
                       failure.isEmpty() ? QStringLiteral("confirmed") : QStringLiteral("given_up"), failure);
    }

private:
    AuditTrail m_trail;
    quint8 m_address;
    int m_from;
    QJsonObject m_source;
};

void describeOptions(ToolArguments &line)
{
    line.addFlag(QStringLiteral("yes"));
    line.addFlag(QStringLiteral("verbose"));
    for (const char *name : {"port", "baud", "timeout", "admin-password-file", "only"})
        line.addValue(QLatin1String(name));
}

QString valueText(const Parameter &parameter, const std::optional<Value> &value)
{
    return value ? shown(parameter, *value) : QStringLiteral("-");
}

// Only the parameters that were read can be compared with a backup.
Backup withoutAdministrator(Backup backup)
{
    for (const Parameter &parameter : parameters()) {
        if (parameter.level == Level::Administrator)
            backup.values.remove(QLatin1String(parameter.name));
    }
    backup.administrator = false;
    return backup;
}

} // namespace

BackupCli::BackupCli(QTextStream &out, QTextStream &err) : m_out(out), m_err(err) {}

bool BackupCli::wants(const QStringList &args)
{
    ToolArguments line(QStringLiteral("quorix-cli"));
    describeOptions(line);
    // A line this parser refuses (an option of another verb) is another verb's to judge.
    if (!line.parse(args))
        return false;
    const QStringList positional = line.positional();
    return !positional.isEmpty() && BackupVerbs.contains(positional.first());
}

QString BackupCli::usage()
{
    return QStringLiteral(
        "usage: quorix-cli --port PATH [--baud N] [--timeout MS] backup ADDR [--admin-password-file F] > FILE\n"
        "       quorix-cli --port PATH ... restore ADDR FILE [--only NAME,...] [--yes] [--admin-password-file F]\n"
        "       quorix-cli diff A.json B.json\n"
        "  backup    the controller's parameters as JSON (without the administrator password: the\n"
        "            ordinary ones only, and the file says so)\n"
        "  restore   writes the backup's differing parameters (by default all but the address, the baud\n"
        "            rate and the active output; --only names them), each verified by reading it back;\n"
        "            onto another address it clones, never carrying the address. Without --yes it lists\n"
        "            the writes and exits 3. Refused while the controller's setpoint is above 0.\n"
        "  diff      the parameters that differ, one per line: name, register, A's value, B's value\n"
        "Exit codes: 0 success or no difference, 1 no answer, a write not verified, a refusal or a\n"
        "difference, 2 bad usage or an unreadable file or port, 3 restore without --yes.\n");
}

int BackupCli::fail(int code, const QString &message)
{
    m_err << "quorix-cli: " << message << '\n';
    m_err.flush();
    return code;
}

int BackupCli::run(const QStringList &args)
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
    if (options.command == QLatin1String("diff"))
        return diff(options);
    StandardOutputMute muted;
    BusLink link;
    link.setReplyTimeout(options.timeout);
    if (!link.open(options.port, options.baud))
        return fail(BadUsage, PortTrouble::cannotOpen(options.port, link.portError(), link.errorString()));
    const int code = options.command == QLatin1String("backup") ? backup(link, options) : restore(link, options);
    m_out.flush();
    link.close();
    return code;
}

int BackupCli::parse(const QStringList &args, Options &options)
{
    ToolArguments line(QStringLiteral("quorix-cli"));
    describeOptions(line);
    const bool parsed = line.parse(args);
    options.help = line.helpRequested();
    options.version = line.versionRequested();
    if (options.help || options.version)
        return Success;
    if (!parsed)
        return fail(BadUsage, line.error());
    const QString badLink = line.readLinkSettings(options.baud, options.timeout);
    if (!badLink.isEmpty())
        return fail(BadUsage, badLink);
    options.port = line.value(QStringLiteral("port"));
    options.passwordFile = line.value(QStringLiteral("admin-password-file"));
    options.yes = line.isSet(QStringLiteral("yes"));
    for (const QString &list : line.values(QStringLiteral("only")))
        options.only += list.split(QLatin1Char(','), Qt::SkipEmptyParts);
    QStringList positional = line.positional();
    options.command = positional.takeFirst();
    options.arguments = positional;
    const int wanted = options.command == QLatin1String("backup") ? 1 : 2;
    if (options.arguments.size() != wanted)
        return fail(BadUsage, QStringLiteral("%1 takes %2 argument(s)").arg(options.command).arg(wanted));
    if (options.command == QLatin1String("diff"))
        return Success;
    if (options.port.isEmpty())
        return fail(BadUsage, QStringLiteral("--port is required"));
    int address = 0;
    if (!ToolArguments::wholeNumber(options.arguments[0], 1, 255, address))
        return fail(BadUsage, QStringLiteral("bad device address %1 (1 to 255)").arg(options.arguments[0]));
    if (options.command == QLatin1String("backup") && (options.yes || !options.only.isEmpty()))
        return fail(BadUsage, QStringLiteral("--yes and --only belong to restore"));
    return Success;
}

bool BackupCli::readController(BusLink &link, quint8 address, bool administrator, Backup &backup, QString &error)
{
    backup.address = address;
    backup.administrator = administrator;
    for (const Parameter &parameter : parameters()) {
        if (parameter.level == Level::Administrator && !administrator)
            continue;
        QByteArray frame;
        const bool answered = link.readRegisters(address, parameter.reg, frame);
        const std::optional<Value> value =
            answered ? fromReply(parameter, RegisterReply::fromFrame(0, address, frame, link.lastByteTime()))
                     : std::nullopt;
        if (!value) {
            error = QStringLiteral("no sound answer from device %1 for %2 (%3)")
                        .arg(address)
                        .arg(QLatin1String(parameter.name))
                        .arg(parameter.reg, 0, 16);
            return false;
        }
        backup.values.insert(QLatin1String(parameter.name), *value);
    }
    return true;
}

// Without a password file the tool keeps to the ordinary parameters; a file must hold the right one.
int BackupCli::logIn(const Options &options, bool &administrator)
{
    if (options.passwordFile.isEmpty())
        return Success;
    QString password;
    QString error;
    if (!AdminPassword::readFile(options.passwordFile, password, error))
        return fail(BadUsage, QStringLiteral("administrator password file: %1").arg(error));
    if (!AdminPassword::matches(password))
        return fail(BadUsage, QStringLiteral("the administrator password in %1 is wrong").arg(options.passwordFile));
    administrator = true;
    return Success;
}

int BackupCli::backup(BusLink &link, const Options &options)
{
    bool administrator = false;
    const int login = logIn(options, administrator);
    if (login != Success)
        return login;
    Backup backup;
    QString error;
    if (!readController(link, quint8(options.arguments[0].toInt()), administrator, backup, error))
        return fail(Failed, error);
    backup.time = QDateTime::currentDateTime();
    backup.program = ToolArguments(QStringLiteral("quorix-cli")).versionLine();
    backup.baud = options.baud;
    m_out << QString::fromUtf8(toJson(backup));
    if (!administrator)
        m_err << "quorix-cli: ordinary parameters only (no --admin-password-file)\n";
    return Success;
}

bool BackupCli::load(const QString &path, Backup &backup)
{
    const QString problem = regularFileProblem(path);
    QFile file(path);
    // A backup is a few kilobytes; anything far larger is not one.
    constexpr qint64 LargestBackup = 1 << 20;
    QString error = problem;
    if (error.isEmpty() && !file.open(QIODevice::ReadOnly))
        error = file.errorString();
    const QByteArray json = error.isEmpty() ? file.read(LargestBackup + 1) : QByteArray();
    if (error.isEmpty() && json.size() > LargestBackup)
        error = QStringLiteral("larger than a backup can be");
    std::optional<Backup> loaded;
    if (error.isEmpty())
        loaded = fromJson(json, error);
    if (!loaded) {
        fail(BadUsage, QStringLiteral("cannot read backup %1: %2").arg(path, error));
        return false;
    }
    backup = *loaded;
    return true;
}

int BackupCli::diff(const Options &options)
{
    Backup left;
    Backup right;
    if (!load(options.arguments[0], left) || !load(options.arguments[1], right))
        return BadUsage;
    int differing = 0;
    for (const Row &row : compare(left, right)) {
        if (!row.differs)
            continue;
        ++differing;
        m_out << row.parameter->name << ' ' << QStringLiteral("0x%1").arg(row.parameter->reg, 4, 16, QLatin1Char('0'))
              << ' ' << valueText(*row.parameter, row.left) << ' ' << valueText(*row.parameter, row.right) << '\n';
    }
    m_out.flush();
    return differing == 0 ? Success : Failed;
}

int BackupCli::restore(BusLink &link, const Options &options)
{
    Backup saved;
    if (!load(options.arguments[1], saved))
        return BadUsage;
    bool administrator = false;
    const int login = logIn(options, administrator);
    if (login != Success)
        return login;
    const quint8 address = quint8(options.arguments[0].toInt());
    for (const QString &name : options.only) {
        const Parameter *parameter = find(name);
        if (parameter && parameter->level == Level::Administrator && !administrator)
            return fail(BadUsage, QStringLiteral("%1 is an administrator parameter: give --admin-password-file").arg(name));
    }
    if (!administrator)
        saved = withoutAdministrator(saved);

    Backup current;
    QString error;
    if (!readController(link, address, administrator, current, error))
        return fail(Failed, error);
    const std::optional<QVector<Row>> plan = restorePlan(saved, current, options.only, error);
    if (!plan)
        return fail(BadUsage, error);
    if (plan->isEmpty()) {
        m_out << "nothing to write: device " << address << " holds the backup's values\n";
        return Success;
    }
    for (const Row &row : *plan)
        m_out << (options.yes ? "write " : "would write ") << row.parameter->name << ' '
              << valueText(*row.parameter, row.right) << " -> " << valueText(*row.parameter, row.left) << '\n';
    if (!options.yes) {
        m_out.flush();
        return WouldWrite;
    }

    // No bench model here to say who drives the controller: a setpoint above 0 means gas may flow,
    // and a settings change under flow is not what a restore is for.
    QByteArray frame;
    if (!link.readRegisters(address, RegisterMap::InstantSetpoint, frame))
        return fail(Failed, QStringLiteral("no sound answer from device %1 for its setpoint").arg(address));
    const RegisterReply setpoint = RegisterReply::fromFrame(0, address, frame, link.lastByteTime());
    RestoreTrail trail(address, saved.address, administrator);
    if (!setpoint.isValid() || !(setpoint.asFloat <= 0)) {
        const QString refused = QStringLiteral("refused: device %1 holds the setpoint %2; set it to 0 first")
                                    .arg(address)
                                    .arg(double(setpoint.asFloat));
        for (const Row &row : *plan)
            trail.ask(row, refused);
        return fail(Failed, refused);
    }

    int written = 0;
    int verified = 0;
    QStringList failures;
    for (const Row &row : *plan) {
        const Parameter &parameter = *row.parameter;
        const RegisterMap::WriteTarget target = writeTarget(parameter);
        const double value = row.left->value;
        trail.ask(row);
        const bool echoed = target.encoding == RegisterMap::Encoding::Float
                                ? link.writeFloatRegister(address, target.reg, float(value))
                                : link.writeRegister(address, target.reg, int(value));
        if (!echoed) {
            failures << QStringLiteral("%1: not echoed").arg(QLatin1String(parameter.name));
            trail.end(row, failures.last());
            continue;
        }
        ++written;
        QByteArray readBack;
        const std::optional<Value> now =
            link.readRegisters(address, parameter.reg, readBack)
                ? fromReply(parameter, RegisterReply::fromFrame(0, address, readBack, link.lastByteTime()))
                : std::nullopt;
        const bool same = now && shown(parameter, *now) == shown(parameter, *row.left);
        if (same)
            ++verified;
        else
            failures << QStringLiteral("%1: reads back %2").arg(QLatin1String(parameter.name), valueText(parameter, now));
        trail.end(row, same ? QString() : failures.last());
    }
    for (const QString &failure : failures)
        m_out << "failed " << failure << '\n';
    m_out << "written " << written << ", verified " << verified << ", failed " << failures.size() << '\n';
    return verified == plan->size() ? Success : Failed;
}
