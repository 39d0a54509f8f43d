#pragma once

#include "Driver.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <functional>

class BenchModel;

// Every change asked of a controller, kept as JSON lines in the data folder, one file a month
// (audit-2026-12.jsonl): a line when it is asked (what, from whom, the value before and after) and
// a line with what became of it (confirmed by the controller's echo, given up after its retries,
// replaced by a newer one before its echo, or refused and why), both under the same id. A
// programme's start, pause, resume and stop, and a mix's start and stop, are a line each on every
// controller they hold. Lines are only appended, each flushed as it is written, so that a program
// killed between the two lines leaves the first.
//
//   {"id": 7, "phase": "request", "time": "2026-12-08T10:42:05.120+08:00", "controller": 3,
//    "what": "setpoint", "before": 0, "after": 120,
//    "source": {"driver": "operator", "user": "op", "level": "operator"}}
//   {"id": 7, "phase": "outcome", "outcome": "confirmed", ...the same fields...}
class AuditTrail : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    // An action beyond the model's setpoints (a ramp's target, a restore, an alarm's
    // acknowledgement ...). A controller of 0 is the bench as a whole: no controller is written.
    struct Action
    {
        quint8 controller = 0;
        QString what;
        QJsonValue before;
        QJsonValue after;
        QJsonObject source;
        QJsonObject details; // further fields of the line
    };

    // Follows the model's requests and their outcomes (none without a model); the folder is made
    // when the first line is written.
    AuditTrail(BenchModel *model, const QString &folder, QObject *parent = nullptr);
    ~AuditTrail() override;

    // The window's access level and the system user, written into the operator's lines.
    void setOperator(const QString &user, const QString &level);
    // Replaces the local time now (tests).
    void setClock(Clock clock) { m_clock = std::move(clock); }
    // A parameter write asked in a parameter window (administrator: the advanced one), and how the
    // worker reported it ended (its replies name the parameter's type, not the controller).
    void noteParameterWrite(quint8 address, bool administrator, int type, double value);
    void endParameterWrite(bool administrator, int type, bool written);
    // The request line of an action, and its outcome at once when `refused` says why not; else
    // the outcome waits for finish() with the same key. A newer request under a waiting key ends
    // the older one as replaced.
    void request(const QString &key, const Action &action, const QString &refused = QString());
    void finish(const QString &key, const QString &outcome, const QString &reason = QString());
    // A line of its own, with no outcome to follow.
    void event(const Action &action);
    // Who asked: the driver, the topic and client of a remote command, and for the operator (and
    // the operator's ramp) the system user and the access level of the window (`level`, or the
    // one set with setOperator).
    QJsonObject sourceOf(Driver from, const QString &origin = QString(), const QString &level = QString()) const;
    // Flow stops whose 0 the listed controllers did not confirm in time.
    void endUnconfirmedStops(const QList<quint8> &addresses);
    // Every line of every month's file in `folder`, oldest month first, in the order written; a
    // line that is no JSON object (cut by a crash) is left out.
    static QList<QJsonObject> readAll(const QString &folder);
    // The data folder (or its fallback), unless set otherwise; an empty path goes back to it. For
    // test programs, which must not meet each other's trails.
    static QString defaultFolder();
    static void setDefaultFolder(const QString &path);
    // The file of the month of `when`.
    QString filePath(const QDateTime &when) const;
    // Why the last line could not be written; empty while writing works.
    QString lastError() const { return m_error; }

private:
    struct Pending
    {
        qint64 id = 0;
        QJsonObject line;
    };
    void requested(quint8 address, int kind, float value, Driver from, const QString &origin, float before,
                   const QString &refused);
    void ended(quint8 address, int kind, const QString &outcome, const QString &reason = QString());
    void followDriver(quint8 address, Driver driver, const QString &origin);
    void append(QJsonObject line);

    QString m_folder;
    QString m_user;
    QString m_level = QStringLiteral("operator");
    Clock m_clock;
    QFile m_file;
    QString m_error;
    qint64 m_lastId = 0;
    QHash<int, Pending> m_pending;   // by controller and kind: the request waiting for its end
    QHash<quint8, Driver> m_drivers; // the programme or mix holding each controller
    QHash<int, Pending> m_parameters; // by level and type
    QHash<QString, Pending> m_actions; // by the key their owner chose
};
