#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVector>

class DeviceThread;
class MixDriver;
class PlotWidget;
class QMessageBox;
class QWidget;
class stageControlWidget;

// What has to happen before the main window may close. Gas must not go on flowing from a staged
// programme nobody watches any more: the operator is asked first, and on "停止并退出" every
// programme stops and each controller it drove is set to 0 by the worker, retried back to back
// for at most StopBudgetMs, while a small box says which controllers confirmed their 0; the window
// closes when the worker reports back (or when the budget and a grace period are spent). A
// controller that never confirmed is named in the box, and the program ends when the operator closes
// it (or after UnconfirmedNoticeMs): gas may still flow there. Recordings that have not started are named and dropped; a
// running one is saved as the chart page goes.
class ExitSequence : public QObject
{
    Q_OBJECT
public:
    static constexpr int StopBudgetMs = 5000;
    // Time left to the write under way at the deadline and to the worker's answer.
    static constexpr int GraceMs = 1000;
    // How long the box naming unconfirmed controllers waits for the operator.
    static constexpr int UnconfirmedNoticeMs = 30000;

    ExitSequence(QWidget *window, stageControlWidget *stages, DeviceThread *worker,
                 const QVector<PlotWidget *> &chartPages);
    ~ExitSequence() override;

    // The window's close handling asks: true when the window may close now. False when the
    // operator kept the programme running, or while the flows are being set to 0; readyToClose
    // follows in that case, and the next call answers true.
    bool allowsClose();
    // Running mix groups are stopped with the programmes, their members set to 0 likewise.
    void setMixes(MixDriver *mixes) { m_mixes = mixes; }

signals:
    void readyToClose();
    // The 0 of every controller listed is about to be sent.
    void stoppingFlows(QList<quint8> devices);

private:
    enum class State
    {
        Open,
        StoppingFlows,
        Leaving
    };
    QStringList waitingRecordings() const;
    void dropWaitingRecordings();
    bool confirmStop(const QStringList &waiting, bool programmes) const;
    void noticeDroppedRecordings(const QStringList &waiting) const;
    void stopFlows(const QList<quint8> &devices);
    void finishStop(const QList<quint8> &unconfirmed);
    void showProgress();
    void leave();

    QWidget *m_window;
    stageControlWidget *m_stages;
    MixDriver *m_mixes = nullptr;
    DeviceThread *m_worker;
    QVector<PlotWidget *> m_chartPages;
    State m_state = State::Open;
    QList<quint8> m_stopping;  // the controllers being set to 0
    QList<quint8> m_confirmed; // of those, the ones that confirmed it
    QTimer m_guard;
    QTimer m_noticeEnd;
    QMessageBox *m_box = nullptr;
};
