#pragma once

#include "StageProgrammeFile.h"

#include <QList>
#include <QWidget>
#include <functional>

class itemStageControl;
class QPushButton;

namespace Ui {
class stageControlWidget;
}

// The staged flow page: four programme widgets, one per controller, side by side, under a row of
// start/stop, pause/continue, save and load buttons. The buttons fan out to the widgets by device
// address, and every set-point a widget emits leaves the page as sig_excuteStep.
class stageControlWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int ItemCount = 4;

    explicit stageControlWidget(QWidget *parent = nullptr);
    ~stageControlWidget() override;

    // Exactly ItemCount widgets, leftmost first.
    const QList<itemStageControl *> &items() const { return m_items; }
    // The tick of every widget (1000 ms unless changed); see itemStageControl::setTickInterval.
    void setTickInterval(int ms);

    QPushButton *startButton() const;
    QPushButton *pauseButton() const;

    // The controllers that running or paused programmes drive, leftmost widget first.
    QList<quint8> drivenDevices() const;
    // Stops every programme as the stop button does; each widget sends 0 to its controller.
    void stopAll();

    // Asked for every widget a start would run, before anything is sent: why its controller may
    // not be driven now (not online, driven by another), or empty. None refuses when not set.
    using StartCheck = std::function<QString(int widget, quint8 device)>;
    void setStartCheck(StartCheck check) { m_startCheck = std::move(check); }
    // Told of every widget about to run, before its first step is sent.
    using StartTake = std::function<void(int widget, quint8 device)>;
    void setStartTake(StartTake take) { m_startTake = std::move(take); }
    // The ramp rate of a controller, for the widgets' marks of steps shorter than their ramp.
    void setRampRateLookup(std::function<double(quint8)> lookup);
    // Asks the lookup again for every widget's controller.
    void refreshRampRates();
    // Widget `index` (0 ..) stops, or pauses with 0 sent, because of what happened to its
    // controller; `why` says what, in a notice.
    void stopProgramme(int index, const QString &why);
    void pauseProgramme(int index, const QString &why);
    // Fills the tables of the widgets named (0 ..) from their blocks of a programme file, as a load
    // does but without a dialog or a notice, and starts nothing; why not, or empty when it did.
    QString loadProgrammeFile(const QString &path, const QList<int> &widgets);

signals:
    void sig_stratStep(bool isStep);
    void sig_excuteStep(uchar deviceId, float data);
    void devicestartStep(int deviceId);
    void devicePasueStep(int deviceId, int type);
    void SetStop();
    void loadStep();
    // A programme started, stopped, paused for its controller or ended.
    void programmesChanged();
    // Widget `widget` (0 ..) took its table from the programme file at `path`.
    void programmeFileLoaded(int widget, QString path);

public slots:
    void startStep();
    void sig_pauseStep();
    void startSave();
    void startLoad();
    void slot_excuStep(uchar id, float data);
    void slot_item_finish();

private:
    bool firstItemHasDevice() const;
    bool anyItemRunning() const;
    void showStartButton(bool running);
    void showPaused(bool paused);
    QList<int> usableDevices() const;
    bool refuseUnusableSteps();
    bool refuseUndrivableDevices();
    QString whereOf(int index) const;
    StageProgrammeSet collectProgrammes() const;
    void writeProgrammeFile(const QString &path, const StageProgrammeSet &programmes);
    QString unusableBlocksNote(const StageProgrammeParse &parsed) const;
    // Fills the widgets named (all when empty) and tells which took a table from `path`.
    void fillTables(const StageProgrammeParse &parsed, const QString &path, const QList<int> &widgets = {});

    Ui::stageControlWidget *ui;
    QList<itemStageControl *> m_items;
    bool m_starting = false;        // the widgets are being started
    bool m_runEndedInStart = false; // and one of them reported the end of its run meanwhile
    // What the start and pause buttons show; their captions change with the language.
    bool m_running = false;
    bool m_paused = false;
    StartCheck m_startCheck;
    StartTake m_startTake;
    std::function<double(quint8)> m_rampRate;
};
