#pragma once

#include "Recorder.h"

#include <QObject>
#include <QString>

#include <functional>

class BenchModel;

// The headless bridge's recording of one controller into a data file of today's format, through
// the recorder and its journal: it begins when the controller is first online and lasts the
// duration; where the controller drops out, nothing is recorded and the end's log line says how
// long. A bridge stopped by a signal saves what was recorded; one killed leaves the journal for
// recoverLeftovers at its next start.
class BridgeRecording : public QObject
{
    Q_OBJECT
public:
    struct Plan
    {
        QString file;
        int device = 0;
        Recorder::Selected types{true, true, true, true};
        int durationSeconds = 0;
        QString journalFolder; // empty: the data folder's
    };
    using Log = std::function<void(const QString &line)>;

    BridgeRecording(const Plan &plan, BenchModel &model, Log log, QObject *parent = nullptr);

    // "flow,total,temperature,pressure", any of them in any order; false for an unknown name.
    static bool parseTypes(const QString &text, Recorder::Selected *types);
    // "2h", "90m", "45s", "1h30m" or plain seconds; false when it is none of these or 0.
    static bool parseDuration(const QString &text, int *seconds);
    // Turns the journals that earlier runs left in `folder` into their data files, logging each.
    static void recoverLeftovers(const QString &folder, const Log &log);

    Recorder &recorder() { return m_recorder; }

private:
    Plan m_plan;
    Log m_log;
    Recorder m_recorder;
};
