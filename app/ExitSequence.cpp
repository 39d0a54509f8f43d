#include "ExitSequence.h"

#include "DeviceThread.h"
#include "MessageBoxSeam.h"
#include "PlotWidget.h"
#include "RecordingStatusLabel.h"
#include "stageControlWidget.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QWidget>

ExitSequence::ExitSequence(QWidget *window, stageControlWidget *stages, DeviceThread *worker,
                           const QVector<PlotWidget *> &chartPages)
    : QObject(window), m_window(window), m_stages(stages), m_worker(worker), m_chartPages(chartPages)
{
    m_guard.setSingleShot(true);
    connect(&m_guard, &QTimer::timeout, this, [this] { finishStop(m_stopping); });
    connect(m_worker, &DeviceThread::sig_flowsStopped, this, [this](QList<quint8> unconfirmed) {
        if (m_state == State::StoppingFlows)
            finishStop(unconfirmed);
    });
}

bool ExitSequence::allowsClose()
{
    if (m_state != State::Open)
        return m_state == State::Leaving;
    const QStringList waiting = waitingRecordings();
    const QList<quint8> driven = m_stages->drivenDevices();
    if (driven.isEmpty()) {
        if (!waiting.isEmpty())
            noticeDroppedRecordings(waiting);
        dropWaitingRecordings();
        m_state = State::Leaving;
        return true;
    }
    if (!confirmStop(waiting))
        return false;
    dropWaitingRecordings();
    stopFlows(driven);
    return false;
}

QStringList ExitSequence::waitingRecordings() const
{
    QStringList waiting;
    for (int k = 0; k < m_chartPages.size(); ++k) {
        const PlotWidget *page = m_chartPages[k];
        if (page->recordingWaits())
            waiting << RecordingStatusLabel::describeWaiting(k + 1, page->pendingExportFile(),
                                                             page->scheduledStart());
    }
    return waiting;
}

void ExitSequence::dropWaitingRecordings()
{
    for (PlotWidget *page : qAsConst(m_chartPages))
        page->dropScheduledSave();
}

bool ExitSequence::confirmStop(const QStringList &waiting) const
{
    QString text = tr("分阶程序正在运行。退出前停止全部程序并将流量设为0？");
    if (!waiting.isEmpty())
        text += QLatin1Char('\n') + tr("尚未开始的记录将被取消：%1").arg(RecordingStatusLabel::joined(waiting));
    return MessageBoxSeam::question(m_window, tr("提示"), text, tr("停止并退出"), tr("取消")) ==
           QMessageBox::Yes;
}

void ExitSequence::noticeDroppedRecordings(const QStringList &waiting) const
{
    MessageBoxSeam::information(m_window, tr("提示"),
                                tr("尚未开始的记录已取消：%1").arg(RecordingStatusLabel::joined(waiting)));
}

// The programmes stop first, so that no later step undoes the 0; the window takes no input
// meanwhile, so that nothing is started again before it closes.
void ExitSequence::stopFlows(const QList<quint8> &devices)
{
    m_state = State::StoppingFlows;
    m_stopping = devices;
    m_stages->stopAll();
    m_window->setEnabled(false);
    m_worker->requestFlowStop(devices, QDeadlineTimer(StopBudgetMs));
    m_guard.start(StopBudgetMs + GraceMs);
}

void ExitSequence::finishStop(const QList<quint8> &unconfirmed)
{
    m_guard.stop();
    for (quint8 device : unconfirmed)
        qWarning() << "退出前未能确认设备" << int(device) << "的流量已设为0";
    m_state = State::Leaving;
    emit readyToClose();
}
