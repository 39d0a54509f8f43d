#include "AuditTrail.h"

#include "BenchModel.h"
#include "BusCodes.h"
#include "DataDirectory.h"

#include <QDebug>
#include <QDir>
#include <QJsonDocument>
#include <QtNumeric>

namespace {

int pendingKey(quint8 address, int kind)
{
    return int(address) * 16 + kind;
}

QString driverKey(Driver::Kind kind)
{
    switch (kind) {
    case Driver::None:
        break;
    case Driver::Operator:
        return QStringLiteral("operator");
    case Driver::Programme:
        return QStringLiteral("programme");
    case Driver::Remote:
        return QStringLiteral("remote");
    case Driver::Ramp:
        return QStringLiteral("ramp");
    case Driver::Mix:
        return QStringLiteral("mix");
    case Driver::ExitStop:
        return QStringLiteral("exit");
    case Driver::Alarm:
        return QStringLiteral("alarm");
    }
    return QStringLiteral("none");
}

QJsonValue valueOf(float value)
{
    return qIsNaN(value) ? QJsonValue() : QJsonValue(double(value));
}

QString &auditFolderOverride()
{
    static QString path;
    return path;
}

} // namespace

QString AuditTrail::defaultFolder()
{
    return auditFolderOverride().isEmpty() ? defaultDataDirectory() : auditFolderOverride();
}

void AuditTrail::setDefaultFolder(const QString &path)
{
    auditFolderOverride() = path;
}

AuditTrail::AuditTrail(BenchModel *model, const QString &folder, QObject *parent)
    : QObject(parent), m_folder(folder), m_clock([] { return QDateTime::currentDateTime(); })
{
    m_user = qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME", QDir::home().dirName()));
    if (!model)
        return; // a tool without a bench model writes its own lines only
    connect(model, &BenchModel::setpointRequested, this, &AuditTrail::requested);
    connect(model, &BenchModel::setpointConfirmed, this,
            [this](quint8 address, int kind, float value) {
                // An echo of another value ends some other write (a stop's 0 sent past the model).
                const auto found = m_pending.constFind(pendingKey(address, kind));
                if (found != m_pending.constEnd() && found->line.value(QStringLiteral("after")).toDouble() == double(value))
                    ended(address, kind, QStringLiteral("confirmed"));
            });
    connect(model, &BenchModel::setpointGaveUp, this,
            [this](quint8 address, int kind) { ended(address, kind, QStringLiteral("given_up")); });
    // A run started by a remote command names that command, as its setpoints do.
    connect(model, &BenchModel::driverChanged, this,
            [this, model](quint8 address, Driver driver) { followDriver(address, driver, model->nextOrigin()); });
}

AuditTrail::~AuditTrail() = default;

void AuditTrail::setOperator(const QString &user, const QString &level)
{
    m_user = user;
    m_level = level;
}

QString AuditTrail::filePath(const QDateTime &when) const
{
    return QDir(m_folder).filePath(QStringLiteral("audit-%1.jsonl").arg(when.toString(QStringLiteral("yyyy-MM"))));
}

QList<QJsonObject> AuditTrail::readAll(const QString &folder)
{
    QList<QJsonObject> lines;
    const QStringList files =
        QDir(folder).entryList({QStringLiteral("audit-*.jsonl")}, QDir::Files, QDir::Name);
    for (const QString &name : files) {
        QFile file(QDir(folder).filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        while (!file.atEnd()) {
            const QJsonDocument line = QJsonDocument::fromJson(file.readLine());
            if (line.isObject())
                lines << line.object();
        }
    }
    return lines;
}

QJsonObject AuditTrail::sourceOf(Driver from, const QString &origin, const QString &level) const
{
    QJsonObject json{{QStringLiteral("driver"), driverKey(from.kind)}};
    if (from.kind == Driver::Programme || from.kind == Driver::Mix)
        json.insert(QStringLiteral("index"), from.index);
    if (from.kind == Driver::Operator || from.kind == Driver::Ramp) {
        json.insert(QStringLiteral("user"), m_user);
        json.insert(QStringLiteral("level"), level.isEmpty() ? m_level : level);
    }
    if (!origin.isEmpty())
        json.insert(QStringLiteral("origin"), origin);
    return json;
}

void AuditTrail::requested(quint8 address, int kind, float value, Driver from, const QString &origin, float before,
                           const QString &refused)
{
    const bool cumulative = kind == Bus::code(Bus::SetpointKind::Cumulative);
    QJsonObject line{{QStringLiteral("id"), ++m_lastId},
                     {QStringLiteral("controller"), int(address)},
                     {QStringLiteral("what"), cumulative ? QStringLiteral("total_setpoint") : QStringLiteral("setpoint")},
                     {QStringLiteral("before"), valueOf(before)},
                     {QStringLiteral("after"), valueOf(value)},
                     {QStringLiteral("source"), sourceOf(from, origin)}};
    const int key = pendingKey(address, kind);
    // A newer setpoint for the same controller and kind before the older one's echo: the older one
    // is no longer waited for.
    if (refused.isEmpty() && m_pending.contains(key))
        ended(address, kind, QStringLiteral("replaced"));
    line.insert(QStringLiteral("phase"), QStringLiteral("request"));
    append(line);
    line.insert(QStringLiteral("phase"), QStringLiteral("outcome"));
    if (!refused.isEmpty()) {
        line.insert(QStringLiteral("outcome"), QStringLiteral("refused"));
        line.insert(QStringLiteral("reason"), refused);
        append(line);
        return;
    }
    m_pending.insert(key, Pending{m_lastId, line});
}

void AuditTrail::ended(quint8 address, int kind, const QString &outcome, const QString &reason)
{
    const auto found = m_pending.find(pendingKey(address, kind));
    if (found == m_pending.end())
        return; // a read-back or a write nobody asked of the model
    QJsonObject line = found->line;
    m_pending.erase(found);
    line.insert(QStringLiteral("outcome"), outcome);
    if (!reason.isEmpty())
        line.insert(QStringLiteral("reason"), reason);
    append(line);
}

void AuditTrail::noteParameterWrite(quint8 address, bool administrator, int type, double value)
{
    QJsonObject line{{QStringLiteral("id"), ++m_lastId},
                     {QStringLiteral("controller"), int(address)},
                     {QStringLiteral("what"), QStringLiteral("parameter")},
                     {QStringLiteral("parameter_type"), type},
                     {QStringLiteral("parameter_level"),
                      administrator ? QStringLiteral("administrator") : QStringLiteral("ordinary")},
                     {QStringLiteral("before"), QJsonValue()},
                     {QStringLiteral("after"), value},
                     // the advanced window opens only behind the administrator's login
                     {QStringLiteral("source"),
                      sourceOf(Driver::operatorRow(), QString(),
                               administrator ? QStringLiteral("administrator") : QString())}};
    line.insert(QStringLiteral("phase"), QStringLiteral("request"));
    append(line);
    line.insert(QStringLiteral("phase"), QStringLiteral("outcome"));
    const int key = (administrator ? 1000 : 0) + type;
    if (m_parameters.contains(key)) {
        QJsonObject older = m_parameters.value(key).line;
        older.insert(QStringLiteral("outcome"), QStringLiteral("replaced"));
        append(older);
    }
    m_parameters.insert(key, Pending{m_lastId, line});
}

void AuditTrail::endParameterWrite(bool administrator, int type, bool written)
{
    const auto found = m_parameters.find((administrator ? 1000 : 0) + type);
    if (found == m_parameters.end())
        return;
    QJsonObject line = found->line;
    m_parameters.erase(found);
    line.insert(QStringLiteral("outcome"), written ? QStringLiteral("confirmed") : QStringLiteral("given_up"));
    append(line);
}

void AuditTrail::endUnconfirmedStops(const QList<quint8> &addresses)
{
    for (quint8 address : addresses)
        ended(address, Bus::code(Bus::SetpointKind::Instant), QStringLiteral("given_up"),
              tr("设备%1没有确认0").arg(address));
}

void AuditTrail::followDriver(quint8 address, Driver driver, const QString &origin)
{
    // Programmes and mixes run; a ramp's hold is its target's, which has lines of its own.
    const auto runs = [](Driver d) { return d.kind == Driver::Programme || d.kind == Driver::Mix; };
    const Driver before = m_drivers.value(address);
    if (driver == before || (!runs(driver) && !runs(before)))
        return;
    m_drivers.insert(address, runs(driver) ? driver : Driver::none());
    const bool start = runs(driver);
    const Driver run = start ? driver : before;
    const QString kind = run.kind == Driver::Mix ? QStringLiteral("mix") : QStringLiteral("programme");
    if (!start || before.isNone()) {
        event({address, kind + (start ? QStringLiteral("_start") : QStringLiteral("_stop")), QJsonValue(),
               QJsonValue(), sourceOf(run, start ? origin : QString()), QJsonObject()});
        return;
    }
    // One run handed straight to another: the first stopped, the second started.
    followDriver(address, Driver::none(), QString());
    followDriver(address, driver, origin);
}

void AuditTrail::request(const QString &key, const Action &action, const QString &refused)
{
    if (refused.isEmpty() && m_actions.contains(key))
        finish(key, QStringLiteral("replaced"));
    QJsonObject line = action.details;
    line.insert(QStringLiteral("id"), ++m_lastId);
    if (action.controller != 0)
        line.insert(QStringLiteral("controller"), int(action.controller));
    line.insert(QStringLiteral("what"), action.what);
    line.insert(QStringLiteral("before"), action.before);
    line.insert(QStringLiteral("after"), action.after);
    line.insert(QStringLiteral("source"), action.source);
    line.insert(QStringLiteral("phase"), QStringLiteral("request"));
    append(line);
    line.insert(QStringLiteral("phase"), QStringLiteral("outcome"));
    if (refused.isEmpty()) {
        m_actions.insert(key, Pending{m_lastId, line});
        return;
    }
    line.insert(QStringLiteral("outcome"), QStringLiteral("refused"));
    line.insert(QStringLiteral("reason"), refused);
    append(line);
}

void AuditTrail::finish(const QString &key, const QString &outcome, const QString &reason)
{
    const auto found = m_actions.find(key);
    if (found == m_actions.end())
        return;
    QJsonObject line = found->line;
    m_actions.erase(found);
    line.insert(QStringLiteral("outcome"), outcome);
    if (!reason.isEmpty())
        line.insert(QStringLiteral("reason"), reason);
    append(line);
}

void AuditTrail::event(const Action &action)
{
    QJsonObject line = action.details;
    line.insert(QStringLiteral("id"), ++m_lastId);
    line.insert(QStringLiteral("phase"), QStringLiteral("event"));
    if (action.controller != 0)
        line.insert(QStringLiteral("controller"), int(action.controller));
    line.insert(QStringLiteral("what"), action.what);
    if (!action.before.isUndefined() && !action.before.isNull())
        line.insert(QStringLiteral("before"), action.before);
    if (!action.after.isUndefined() && !action.after.isNull())
        line.insert(QStringLiteral("after"), action.after);
    line.insert(QStringLiteral("source"), action.source);
    append(line);
}

void AuditTrail::append(QJsonObject line)
{
    const QDateTime now = m_clock();
    QString time = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs);
    if (time.endsWith(QLatin1Char('Z'))) { // the offset is written out, also where it is 0
        time.chop(1);
        time += QStringLiteral("+00:00");
    }
    line.insert(QStringLiteral("time"), time);
    const QString path = filePath(now);
    if (m_file.fileName() != path || !m_file.isOpen()) {
        m_file.close();
        QDir().mkpath(m_folder);
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
            if (m_error.isEmpty())
                qDebug().noquote() << QStringLiteral("操作记录无法写入：") + m_file.errorString();
            m_error = tr("%1无法写入（%2）").arg(path, m_file.errorString());
            return;
        }
    }
    const QByteArray text = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    if (m_file.write(text) != text.size() || !m_file.flush()) {
        if (m_error.isEmpty())
            qDebug().noquote() << QStringLiteral("操作记录无法写入：") + m_file.errorString();
        m_error = tr("%1无法写入（%2）").arg(path, m_file.errorString());
        m_file.close(); // opened again for the next line
        return;
    }
    m_error.clear();
}
