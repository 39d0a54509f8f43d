#pragma once

#include "Plot.h"
#include "Reading.h"
#include "Recorder.h"
#include "RecordingFile.h"

#include <QDateTime>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>

namespace Ui {
class PlotWidget;
}

// The chart page of one controller (or the history page): four charts, one per reading type, and
// the recording of chosen types into a data file for a chosen period.
class PlotWidget : public QWidget
{
    Q_OBJECT

public:
    // Reading types 1..4: instantaneous flow, cumulative flow, temperature, pressure.
    static constexpr int TypeCount = 4;
    using Clock = std::function<QDateTime()>;

    // Every page is created with 0 as pageOptions; the value is kept as given.
    explicit PlotWidget(QWidget *parent = nullptr, int pageOptions = 0);
    ~PlotWidget() override;

    int pageOptions() const { return m_pageOptions; }
    Plot *plot(int type) const { return isKnownType(type) ? m_plots[type - 1] : nullptr; }
    // Wall-clock source of the recording's start time and of the name of a file kept elsewhere.
    void setClock(Clock clock);
    // The controller whose page this is, named in the journal of its recordings.
    void setDeviceId(int deviceId)
    {
        m_deviceId = deviceId;
        m_recorder.setDeviceId(deviceId);
    }

    // One polled reading, drawn and recorded at the time it was read. One that is no usable number
    // is dropped. Its controller is not looked at: the page already belongs to one.
    void addReading(const Reading &reading);
    // A value in the controller's own unit (pressure in Pa) that carries no read time: taken as
    // read now.
    void addSample(int type, int deviceId, float value);
    // Number of readings accepted for a type, and the latest one (0 before the first).
    int sampleCount(int type) const;
    float lastSample(int type) const;

    // Arms a recording of the flagged types into fileName, from startTime (at once when it has
    // passed) for duration seconds. Refused (false, with a warning line) while another recording
    // of this page waits, runs or is being written, and for a duration or delay no timer can hold.
    bool scheduleSave(QDateTime startTime, int duration, bool cur, bool cum, bool temp, bool press,
                      QString fileName);
    // The file of the recording that waits, runs or is being written; empty when none is.
    QString pendingExportFile() const;
    // A recording is armed and has not started yet; scheduledStart() says when it would.
    bool recordingWaits() const { return m_recorder.state() == Recorder::State::Waiting; }
    QDateTime scheduledStart() const { return m_recorder.scheduledStart(); }
    // Drops a recording that has not started: it never starts, and its file stays as it is.
    void dropScheduledSave() { m_recorder.dropScheduled(); }
    bool isRecording() const { return m_recorder.state() == Recorder::State::Recording; }
    // Samples of a type handed to the journal since the running (or last) recording started.
    int recordedSamples(int type) const { return m_recorder.recordedSamples(type); }
    // The journal of the running recording; empty when none runs or before its file is made.
    QString journalPath() const { return m_recorder.journalPath(); }
    // The recording of this page's controller, fed by addReading; the chart's drawing (its time
    // axis, its clearing) never touches it.
    Recorder &recorder() { return m_recorder; }

    // The longest delay or duration a timer holds, in milliseconds (about 24.8 days).
    static constexpr qint64 MaxTimerMs = Recorder::MaxTimerMs;

signals:
    // The course of a recording, for whoever shows it: armed to start at startTime, recording
    // until endTime, and over (its file written, or dropped before it started).
    void recordingScheduled(QString fileName, QDateTime startTime);
    void recordingStarted(QString fileName, QDateTime endTime);
    void recordingOver(QString fileName);
    // Writing the running recording's journal failed, with the system's reason, and later went on
    // again; once per run of failures. The text is the one the box and the log show.
    void recordingWriteFailed(QString message);
    void recordingWriteResumed(QString message);

public slots:
    void onStart();
    void onDurationEnd();

private:
    static bool isKnownType(int type) { return type >= 1 && type <= TypeCount; }
    void createCharts();
    void connectRecorder();
    void reportWrite(const QString &fileName, const RecordingFile::Outcome &outcome, const Recorder::Gaps &gaps);
    QString describeGaps(const Recorder::Gaps &gaps) const;

    Ui::PlotWidget *ui;
    int m_pageOptions;
    std::array<Plot *, TypeCount> m_plots{};
    Clock m_clock;
    std::array<int, TypeCount> m_sampleCounts{};
    std::array<float, TypeCount> m_lastSamples{};

    int m_deviceId = 0;
    Recorder m_recorder;
};
