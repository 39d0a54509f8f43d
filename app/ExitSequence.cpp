#include "ExitSequence.h"

#include "DeviceThread.h"
#include "MessageBoxSeam.h"
#include "MixDriver.h"
#include "PlotWidget.h"
#include "RecordingStatusLabel.h"
#include "stageControlWidget.h"

#include <QDeadlineTimer>
#include <QAbstractButton>
#include <QDebug>
#include <QMessageBox>
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
    connect(m_worker, &DeviceThread::sig_stepWritten, this, [this](int deviceId, float value) {
        if (m_state != State::StoppingFlows || value != 0.0f || !m_stopping.contains(quint8(deviceId)) ||
            m_confirmed.contains(quint8(deviceId)))
            return;
        m_confirmed.append(quint8(deviceId));
        showProgress();
    });
    m_noticeEnd.setSingleShot(true);
    connect(&m_noticeEnd, &QTimer::timeout, this, &ExitSequence::leave);
}

bool ExitSequence::allowsClose()
{
    if (m_state != State::Open)
        return m_state == State::Leaving;
    const QStringList waiting = waitingRecordings();
    QList<quint8> driven = m_stages->drivenDevices();
    const bool programmes = !driven.isEmpty();
    if (m_mixes) {
        for (quint8 member : m_mixes->runningMembers())
            if (!driven.contains(member))
                driven << member;
    }
    if (driven.isEmpty()) {
        if (!waiting.isEmpty())
            noticeDroppedRecordings(waiting);
        dropWaitingRecordings();
        m_state = State::Leaving;
        return true;
    }
    if (!confirmStop(waiting, programmes))
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

bool ExitSequence::confirmStop(const QStringList &waiting, bool programmes) const
{
    QString text = programmes ? tr("分阶程序正在运行。退出前停止全部程序并将流量设为0？")
                              : tr("混合组正在运行。退出前停止全部混合组并将流量设为0？");
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

// The programmes and mix groups stop first, so that no later step undoes the 0; the window takes no input
// meanwhile, so that nothing is started again before it closes.
void ExitSequence::stopFlows(const QList<quint8> &devices)
{
    m_state = State::StoppingFlows;
    m_stopping = devices;
    m_stages->stopAll();
    if (m_mixes)
        m_mixes->stopAll();
    m_window->setEnabled(false);
    // Not modal: the worker's answers come through the event loop. A child of the disabled window
    // would take no click, so the box is a window of its own, kept above it.
    m_box = new QMessageBox(QMessageBox::Information, tr("提示"), QString(), QMessageBox::NoButton);
    m_box->setObjectName(QStringLiteral("exitStopBox"));
    m_box->setWindowFlag(Qt::WindowStaysOnTopHint);
    m_box->setWindowModality(Qt::NonModal);
    showProgress();
    m_box->show();
    // The box adds an OK button of its own when shown with none; nothing is to be confirmed yet.
    if (QAbstractButton *ok = m_box->button(QMessageBox::Ok))
        ok->setEnabled(false);
    emit stoppingFlows(devices);
    m_worker->requestFlowStop(devices, QDeadlineTimer(StopBudgetMs));
    m_guard.start(StopBudgetMs + GraceMs);
}

// "正在将流量设为0：设备1 ✓，设备3 …"
void ExitSequence::showProgress()
{
    QStringList parts;
    for (quint8 device : qAsConst(m_stopping))
        parts << tr("设备%1").arg(device) + (m_confirmed.contains(device) ? QStringLiteral(" ✓") : QStringLiteral(" …"));
    m_box->setText(tr("正在将流量设为0：%1").arg(parts.join(tr("，"))));
}

void ExitSequence::finishStop(const QList<quint8> &unconfirmed)
{
    m_guard.stop();
    m_state = State::Leaving;
    if (unconfirmed.isEmpty()) {
        leave();
        return;
    }
    QStringList names;
    for (quint8 device : unconfirmed) {
        qWarning() << "退出前未能确认设备" << int(device) << "的流量已设为0";
        names << tr("设备%1").arg(device);
    }
    // The operator has to know where gas may still flow before the program that drove it is gone.
    m_box->setIcon(QMessageBox::Warning);
    m_box->setText(tr("%1未在%2秒内确认流量已设为0，请检查该设备。关闭本窗口后程序退出。")
                       .arg(names.join(tr("，")))
                       .arg(StopBudgetMs / 1000));
    m_box->setStandardButtons(QMessageBox::Ok);
    connect(m_box, &QMessageBox::finished, this, &ExitSequence::leave);
    m_box->show(); // again, should it have been closed meanwhile
    m_box->raise();
    m_noticeEnd.start(UnconfirmedNoticeMs);
}

void ExitSequence::leave()
{
    m_noticeEnd.stop();
    if (m_box) {
        m_box->disconnect(this);
        m_box->close();
        m_box->deleteLater();
        m_box = nullptr;
    }
    emit readyToClose();
}

ExitSequence::~ExitSequence()
{
    delete m_box; // a window of its own, not deleted with the main window
}
