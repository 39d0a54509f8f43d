#pragma once

#include "StageProgrammeFile.h"

#include <QList>
#include <QWidget>

class QBrush;
class QTableWidgetItem;
class QTimer;

namespace Ui {
class itemStageControl;
}

// Holds and runs the staged flow programme of one controller: a table of up to 100 steps of flow
// and seconds, walked on a tick in one of three modes. It emits each step's set-point and never
// talks to the bus itself.
class itemStageControl : public QWidget
{
    Q_OBJECT

public:
    static constexpr int RowCount = 100;
    static constexpr int MaxFlow = 999999;

    explicit itemStageControl(QWidget *parent = nullptr);
    ~itemStageControl() override;

    // The main window writes the found address here, in decimal.
    void setDeviceId(quint8 deviceId);
    QString deviceIdText() const;
    // The widget's device: the field's base-10 integer, 0 when empty, not a number or no bus
    // address (1 to 255).
    int deviceId() const;
    bool hasUsableDevice() const;

    // Real time between two ticks (1000 ms unless changed). Every tick counts one second of
    // programme time whatever the interval, so a shorter interval plays the same run faster.
    void setTickInterval(int ms);
    int tickInterval() const { return m_tickMs; }

    // Rows whose two cells both hold text, wherever they lie.
    int validRowCount() const;
    // A start would run steps (the table, or the count entered, gives at least one).
    bool wouldRun() const { return stepCountForStart() > 0; }
    int stepCount() const { return step_count; }
    // Ticks since the run was started; the tick of the start itself is 0.
    int programmeTicks() const { return m_ticks; }
    bool isRunning() const;
    // The controller a running (or paused) programme drives; 0 while none runs.
    int runDevice() const { return isRunning() ? m_runDevice : 0; }

    // The valid rows in table order: what a programme file keeps of this table.
    StageProgramme programme() const;
    // Replaces the whole table: step j fills row j, the rows after the last step are emptied.
    void setProgramme(const StageProgramme &steps);
    // The first row a run would reach whose flow lies outside 0 to MaxFlow, or -1.
    int firstOutOfRangeRow() const;
    // The first row a run would send whose duration is not a whole number of seconds above 0, or -1.
    int firstTimelessRow() const;

    // The controller's ramp rate (sccm/s, 0 = none): a step whose ramp from the step before takes
    // longer than its time is allowed, but its time cell says so (tooltip with the ramp's time).
    void setRampRate(double sccmPerSecond);
    // Rows whose time is shorter than their ramp, in table order.
    QList<int> rowsShorterThanRamp() const;

signals:
    void sig_item_excStep(uchar in, float data);
    void sig_item_finish();

public slots:
    void startStep(int deviceId);
    void slot_stepPause(int deviceId, int type);
    void stopStep();
    void excuteStep();
    void cycleStep();
    void reverseStep();
    void refreshStepCount();
    void loadConfig();

private:
    enum Mode
    {
        Single = 0,
        Repeat = 1,
        BackAndForth = 2
    };

    void tick(Mode mode);
    void sendStep(Mode mode, int device);
    void advance(Mode mode, int device);
    void finishSingleRun(int device);
    void resetRunState();
    QTimer *timerOf(Mode mode) const;
    int stepCountForStart() const;
    int countOrValidRows(int count) const;
    void stopOnFlowOutOfRange(int row);
    void commitStepCount();
    void writeCountField(const QString &text);
    void showIdleFields();
    void markRampTimes();

    void highlightRow(int row);
    void whitenRows(int count);
    // Paints columns 0 and 1 of rows first..last (clipped to the table); missing cells are made
    // only when create is set.
    void paintRows(int first, int last, const QBrush &brush, bool create);

    Ui::itemStageControl *ui;
    QTimer *m_singleTimer = nullptr;
    QTimer *m_cycleTimer = nullptr;
    QTimer *m_reverseTimer = nullptr;
    int m_tickMs = 1000;

    int m_currentIndex = 0;
    int m_next = 0;
    int step_count = 0;
    qint64 m_elapsedMs = 0; // durations are whole seconds of 32 bits; in ms they need 64
    bool m_stepSent = false;
    bool m_paused = false;
    bool m_finished = false;
    bool m_forward = true;
    int m_lastFlow = 0;
    int m_mode = Single;
    int m_runDevice = 0; // the device a run was started on
    int m_ticks = 0;
    bool m_sendTickCounted = false; // the running step's sending tick was one of its seconds
    bool m_finishDue = false;       // a single run's last step has ended; the next tick sends the 0
    int m_enteredCount = -1;        // the count the operator entered (or a load counted); -1: none
    bool m_countEdited = false;     // the count field was typed in since its last commit
    double m_rampRate = 0;
};
