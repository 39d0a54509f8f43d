#include "MixCli.h"

#include "BusLink.h"
#include "PortTrouble.h"
#include "RegisterMap.h"
#include "SerialPort.h"
#include "TerminationSignals.h"
#include "ToolArguments.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <cmath>
#include <iostream>

struct MixCli::Options
{
    QString port;
    int baud = 9600;
    int timeout = 500;
    MixGroup group;
};

namespace {

enum MixExitCode
{
    MixSuccess = 0,
    MixNoAnswer = 1,
    MixBadUsage = 2
};

constexpr double kMixHighestTotal = 999999.0;
constexpr int kMixLastAddress = 247;
constexpr int kMixInstantMode = 0;

const QStringList mixValueOptions{"port", "baud", "timeout", "total", "policy"};

void describeMix(ToolArguments &line)
{
    line.addFlag(QStringLiteral("verbose")); // the entry point decides where the worker's log goes
    for (const QString &name : mixValueOptions)
        line.addValue(name);
}

bool mixParseNumber(const QString &text, double &value)
{
    bool ok = false;
    value = text.toDouble(&ok);
    return ok && std::isfinite(value);
}

// A float as it reads back, seven digits: 33.33, not 33.330001831054688.
double mixJsonNumber(double value)
{
    return QString::number(value, 'g', 7).toDouble();
}

} // namespace

MixCli::MixCli(QTextStream &out, QTextStream &err) : m_out(out), m_err(err) {}

bool MixCli::wants(const QStringList &args)
{
    ToolArguments line(QStringLiteral("quorix-cli"));
    describeMix(line);
    line.parse(args);
    return line.positional().value(0) == QLatin1String("mix");
}

QString MixCli::usage()
{
    return QStringLiteral(
        "usage: quorix-cli --port PATH [--baud N] [--timeout MS] mix ADDR:FRACTION:FULL_SCALE,... --total SCCM\n"
        "                  [--policy ratio|total]\n"
        "Writes 2 to 4 controllers (ADDR 1 to 247) their share of a total flow (0 to 999999 sccm) once:\n"
        "FRACTION in % (the fractions sum to 100 within 0.01), FULL_SCALE the most the controller gives\n"
        "in sccm. When a share would exceed its full scale, --policy ratio (the default) cuts the total,\n"
        "--policy total holds that member at its full scale and lets the others make up the rest.\n"
        "Every member must answer in instantaneous mode before anything is written; each write is\n"
        "checked by its echo (3 tries). Prints the plan and what limited it as one JSON line. A write\n"
        "unconfirmed, or SIGINT or SIGTERM once writing began, sets every member to 0 at once.\n"
        "Exit codes: 0 every write confirmed, 1 no sound answer, a member in cumulative mode, a write\n"
        "unconfirmed or a signal, 2 bad usage or port.\n");
}

int MixCli::fail(int code, const QString &message)
{
    m_err << "quorix-cli: " << message << '\n';
    m_err.flush();
    return code;
}

int MixCli::parseMembers(const QString &text, MixGroup &group)
{
    const QString shape = QStringLiteral("each member is ADDR:FRACTION:FULL_SCALE, members joined by commas "
                                         "(1:50:1000,2:50:500)");
    for (const QString &word : text.split(QLatin1Char(','))) {
        const QStringList parts = word.split(QLatin1Char(':'));
        int address = 0;
        MixMember member;
        if (parts.size() != 3 || !mixParseNumber(parts[1], member.fraction) ||
            !mixParseNumber(parts[2], member.fullScale))
            return fail(MixBadUsage, QStringLiteral("bad member \"%1\": %2").arg(word, shape));
        if (!ToolArguments::wholeNumber(parts[0], 1, kMixLastAddress, address))
            return fail(MixBadUsage, QStringLiteral("bad device address %1 in member \"%2\" (1 to %3)")
                                         .arg(parts[0], word)
                                         .arg(kMixLastAddress));
        member.address = quint8(address);
        group.members << member;
    }
    const QString invalid = group.invalidityEnglish();
    return invalid.isEmpty() ? int(MixSuccess) : fail(MixBadUsage, invalid);
}

int MixCli::parse(const QStringList &args, Options &options)
{
    ToolArguments line(QStringLiteral("quorix-cli"));
    describeMix(line);
    if (!line.parse(args))
        return fail(MixBadUsage, line.error());
    const QString badLink = line.readLinkSettings(options.baud, options.timeout);
    if (!badLink.isEmpty())
        return fail(MixBadUsage, badLink);
    for (const QString &value : line.values(QStringLiteral("total")))
        if (!mixParseNumber(value, options.group.total) || options.group.total < 0.0 ||
            options.group.total > kMixHighestTotal)
            return fail(MixBadUsage, QStringLiteral("bad total %1 (0 to 999999 sccm)").arg(value));
    for (const QString &value : line.values(QStringLiteral("policy"))) {
        if (value != QLatin1String("ratio") && value != QLatin1String("total"))
            return fail(MixBadUsage, QStringLiteral("bad policy %1 (ratio or total)").arg(value));
        options.group.policy = value == QLatin1String("total") ? MixGroup::Policy::KeepTotal
                                                                : MixGroup::Policy::KeepRatio;
    }
    options.port = line.value(QStringLiteral("port"));
    const QStringList positional = line.positional();
    if (positional.size() != 2)
        return fail(MixBadUsage, QStringLiteral("mix takes 1 argument: ADDR:FRACTION:FULL_SCALE,..."));
    const int members = parseMembers(positional[1], options.group);
    if (members != MixSuccess)
        return members;
    if (!line.isSet(QStringLiteral("total")))
        return fail(MixBadUsage, QStringLiteral("mix needs --total SCCM"));
    if (options.port.isEmpty())
        return fail(MixBadUsage, QStringLiteral("--port is required"));
    return MixSuccess;
}

int MixCli::run(const QStringList &args)
{
    ToolArguments help(QStringLiteral("quorix-cli"));
    describeMix(help);
    help.parse(args);
    if (help.helpRequested() || help.versionRequested()) {
        m_out << (help.helpRequested() ? usage() : help.versionLine() + QLatin1Char('\n'));
        m_out.flush();
        return MixSuccess;
    }
    Options options;
    const int parsed = parse(args, options);
    if (parsed != MixSuccess)
        return parsed;

    // Caught before the port opens: from here on a signal never leaves half a mixture flowing.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, [this](int number) { m_signal = number; });
    StandardOutputMute quiet;
    BusLink link;
    link.setReplyTimeout(options.timeout);
    if (!link.open(options.port, options.baud))
        return fail(MixBadUsage, PortTrouble::cannotOpen(options.port, link.portError(), link.errorString()));
    const int code = mix(link, options);
    m_out.flush();
    link.close();
    return code;
}

int MixCli::mix(BusLink &link, const Options &options)
{
    const MixGroup &group = options.group;
    // Every member answers, in instantaneous mode, before the first share goes out.
    for (const MixMember &member : group.members) {
        QByteArray reply;
        if (!link.readRegisters(member.address, RegisterMap::ControlMode, reply))
            return fail(MixNoAnswer, QStringLiteral("no sound answer from device %1: nothing written").arg(member.address));
        if (bytes_to_uint16(reply, 3) != kMixInstantMode)
            return fail(MixNoAnswer, QStringLiteral("device %1 is not in instantaneous mode: nothing written")
                                         .arg(member.address));
    }
    QCoreApplication::processEvents();
    if (m_signal != 0)
        return fail(MixNoAnswer, QStringLiteral("stopped by signal %1 before any write: nothing written").arg(m_signal));

    const MixPlan plan = planMix(group, group.total);
    QJsonArray members;
    QString failure;
    const QList<double> shares = plan.composition();
    for (int i = 0; i < group.members.size(); ++i) {
        const MixMember &member = group.members[i];
        const float value = plan.setpoints.value(i);
        const bool confirmed = failure.isEmpty() && write(link, member.address, value);
        members.append(QJsonObject{{QStringLiteral("address"), int(member.address)},
                                   {QStringLiteral("fraction"), member.fraction},
                                   {QStringLiteral("full_scale"), member.fullScale},
                                   {QStringLiteral("setpoint"), mixJsonNumber(double(value))},
                                   {QStringLiteral("share"), mixJsonNumber(shares.value(i))},
                                   {QStringLiteral("confirmed"), confirmed}});
        QCoreApplication::processEvents(); // a signal that came during the write
        if (failure.isEmpty() && !confirmed)
            failure = QStringLiteral("device %1 did not confirm %2 after %3 tries")
                          .arg(member.address)
                          .arg(QString::number(double(value), 'g', 7))
                          .arg(WriteAttempts);
        if (failure.isEmpty() && m_signal != 0)
            failure = QStringLiteral("stopped by signal %1").arg(m_signal);
    }
    QJsonArray limitedBy;
    for (quint8 address : plan.limitedBy)
        limitedBy.append(int(address));
    QJsonObject line{{QStringLiteral("policy"), group.policy == MixGroup::Policy::KeepTotal ? QStringLiteral("total")
                                                                                            : QStringLiteral("ratio")},
                     {QStringLiteral("total_asked"), group.total},
                     {QStringLiteral("total"), mixJsonNumber(plan.total)},
                     {QStringLiteral("members"), members},
                     {QStringLiteral("limited_by"), limitedBy},
                     {QStringLiteral("limit"), mixLimitEnglish(group, plan)},
                     {QStringLiteral("composition_changed"), plan.compositionChanged},
                     {QStringLiteral("confirmed"), failure.isEmpty()}};
    bool stopped = false;
    if (!failure.isEmpty()) {
        stopped = stopAll(link, group);
        line.insert(QStringLiteral("zeroed"), stopped);
    }
    m_out << QJsonDocument(line).toJson(QJsonDocument::Compact) << '\n';
    m_out.flush();
    if (failure.isEmpty())
        return MixSuccess;
    return fail(MixNoAnswer, failure + (stopped ? QStringLiteral("; every member set to 0")
                                                : QStringLiteral("; 0 not confirmed by every member")));
}

bool MixCli::write(BusLink &link, quint8 address, float value)
{
    bool confirmed = false;
    for (int attempt = 0; attempt < WriteAttempts && !confirmed; ++attempt)
        confirmed = link.writeFloatRegister(address, RegisterMap::InstantSetpoint, value);
    return confirmed;
}

bool MixCli::stopAll(BusLink &link, const MixGroup &group)
{
    bool all = true;
    for (const MixMember &member : group.members)
        all = write(link, member.address, 0.0f) && all;
    return all;
}
