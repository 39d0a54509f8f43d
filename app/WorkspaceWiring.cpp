#include "WorkspaceWiring.h"

#include "BusCodes.h"
#include "DeviceLine.h"
#include "DeviceThread.h"
#include "MessageBoxSeam.h"
#include "ScanReply.h"
#include "deviceWindow.h"
#include "lossWidget.h"
#include "mainWnd.h"
#include "setSerialport.h"
#include "stageControlWidget.h"

#include <QAction>
#include <QDebug>
#include <QMap>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>

WorkspaceWiring::WorkspaceWiring(mainWnd *window, const QString &path)
    : QObject(window), m_main(window), m_path(path)
{
    QString error;
    if (!m_last.load(m_path, &error))
        qDebug().noquote() << QStringLiteral("工作区无法读取：") + error;
    m_kept = m_last;
    DeviceThread *worker = window->worker();
    // Connected after the main window's own handlers: the rows hold the scan's addresses when
    // followScan sees it.
    connect(window->serialWnd, &setSerialport::sig_openSer, this, [this](int type, const QString &name, int baud) {
        if (type == Bus::code(Bus::PortRequest::Open)) {
            m_requestedPort = name;
            m_requestedBaud = baud;
        }
    });
    connect(worker, &DeviceThread::signal_ser_status, this, &WorkspaceWiring::followPort);
    connect(worker, &DeviceThread::sig_scanResult, this, &WorkspaceWiring::followScan);
    connect(window->devicePage(), &deviceWindow::sig_onlineDevice, this, [this](int type, int address) {
        using Bus::OnlineRequest;
        if (type == Bus::code(OnlineRequest::TakeOffline))
            m_kept.setOnline(quint8(address), false);
        else if (type == Bus::code(OnlineRequest::TakeOnline) || type == Bus::code(OnlineRequest::TakeOnlineAgain))
            m_kept.setOnline(quint8(address), true);
        keep();
    });
    connect(window->lossWnd, &lossWidget::commSet, this, [this](int type, int value) {
        using Bus::CommSetting;
        if (type == Bus::code(CommSetting::QueryPeriod))
            m_kept.queryPeriodMs = value;
        else if (type == Bus::code(CommSetting::QueryPause))
            m_kept.queryPauseMs = value;
        else if (type == Bus::code(CommSetting::ReplyTimeout))
            m_kept.replyTimeoutMs = value;
        keep();
    });
    connect(window->stagePage(), &stageControlWidget::programmeFileLoaded, this, [this](int widget, const QString &file) {
        m_kept.setProgrammeFile(widget, file);
        keep();
    });
    if (m_last.isRestorable())
        offer();
}

QPushButton *WorkspaceWiring::offerButton() const
{
    return m_button;
}

QAction *WorkspaceWiring::offerAction() const
{
    return m_action;
}

void WorkspaceWiring::offer()
{
    const QString caption = tr("恢复上次连接（%1）").arg(m_last.summary());
    m_button = new QPushButton(caption, m_main);
    m_button->setObjectName(QStringLiteral("btn_restoreWorkspace"));
    m_main->statusBar()->addPermanentWidget(m_button);
    m_action = new QAction(caption, m_main);
    m_action->setObjectName(QStringLiteral("actionRestoreWorkspace"));
    m_main->commMenu()->addAction(m_action);
    connect(m_button, &QPushButton::clicked, this, &WorkspaceWiring::restore);
    connect(m_action, &QAction::triggered, this, &WorkspaceWiring::restore);
}

void WorkspaceWiring::withdrawOffer()
{
    delete m_button;
    if (m_action)
        m_action->deleteLater(); // it may be the action being triggered
    m_action = nullptr;
}

void WorkspaceWiring::restore()
{
    withdrawOffer();
    if (!m_last.isRestorable() || m_phase != Phase::Idle)
        return;
    qDebug().noquote() << QStringLiteral("恢复上次连接：") + m_last.summary();
    DeviceThread *worker = m_main->worker();
    using Bus::CommSetting;
    if (m_last.queryPeriodMs != Workspace::NotSet)
        worker->setCommParam(Bus::code(CommSetting::QueryPeriod), m_last.queryPeriodMs);
    if (m_last.queryPauseMs != Workspace::NotSet)
        worker->setCommParam(Bus::code(CommSetting::QueryPause), m_last.queryPauseMs);
    if (m_last.replyTimeoutMs != Workspace::NotSet)
        worker->setCommParam(Bus::code(CommSetting::ReplyTimeout), m_last.replyTimeoutMs);
    m_kept.queryPeriodMs = m_last.queryPeriodMs;
    m_kept.queryPauseMs = m_last.queryPauseMs;
    m_kept.replyTimeoutMs = m_last.replyTimeoutMs;
    loadProgrammes();
    m_everyController = false;
    m_wanted = m_last.online;
    open(m_last.port, m_last.baud);
}

void WorkspaceWiring::connectTo(const QString &port, int baud)
{
    if (m_phase != Phase::Idle)
        return;
    m_everyController = true;
    m_wanted.clear();
    open(port, baud);
}

void WorkspaceWiring::open(const QString &port, int baud)
{
    m_requestedPort = port;
    m_requestedBaud = baud;
    if (m_portOpen && m_kept.port == port) { // already open: scan it as it is
        m_phase = Phase::Scanning;
        m_main->worker()->requestScan();
        return;
    }
    m_phase = Phase::Opening;
    m_main->worker()->slot_openSer(Bus::code(Bus::PortRequest::Open), port, baud);
}

void WorkspaceWiring::followPort(int status)
{
    using Bus::PortStatus;
    if (status == Bus::code(PortStatus::Opened)) {
        m_portOpen = true;
        if (!m_requestedPort.isEmpty()) {
            // Another port's controllers are not this one's.
            if (m_requestedPort != m_kept.port)
                m_kept.online.clear();
            m_kept.port = m_requestedPort;
            m_kept.baud = m_requestedBaud;
            keep();
        }
        if (m_phase == Phase::Opening) {
            m_phase = Phase::Scanning;
            m_main->worker()->requestScan();
        }
        return;
    }
    if (status == Bus::code(PortStatus::Closed))
        m_portOpen = false;
    if (status == Bus::code(PortStatus::OpenFailed) && m_phase == Phase::Opening) {
        m_phase = Phase::Idle;
        MessageBoxSeam::warning(m_main, tr("错误提示"), tr("串口%1无法打开，未恢复连接").arg(m_requestedPort));
        emit finished();
    }
}

void WorkspaceWiring::followScan(const ScanResult &scan)
{
    if (m_phase != Phase::Scanning)
        return;
    m_phase = Phase::Idle;
    const QList<quint8> wanted = m_everyController ? scan.addresses : m_wanted;
    QStringList silent;
    deviceWindow *page = m_main->devicePage();
    for (quint8 address : wanted) {
        DeviceLine *row = nullptr;
        for (int k = 0; k < page->rowCount() && !row; ++k) {
            if (scan.addresses.contains(address) && page->row(k)->deviceIdText() == QString::number(address))
                row = page->row(k);
        }
        if (!row) {
            silent << QString::number(address);
            m_kept.setOnline(address, false);
            continue;
        }
        if (!row->isConnected())
            row->on_btn_online_clicked();
    }
    keep();
    if (!silent.isEmpty())
        MessageBoxSeam::information(m_main, tr("提示"),
                                    tr("设备%1没有应答，未上线").arg(silent.join(tr("、"))));
    emit finished();
}

// Each file is read once, into the widgets that had taken their tables from it.
void WorkspaceWiring::loadProgrammes()
{
    QMap<QString, QList<int>> widgets;
    for (int k = 0; k < m_last.programmeFiles.size(); ++k) {
        if (!m_last.programmeFiles[k].isEmpty())
            widgets[m_last.programmeFiles[k]].append(k);
    }
    for (auto it = widgets.cbegin(); it != widgets.cend(); ++it) {
        const QString problem = m_main->stagePage()->loadProgrammeFile(it.key(), it.value());
        if (!problem.isEmpty())
            qDebug().noquote() << QStringLiteral("分阶配置未恢复：") + problem;
    }
}

void WorkspaceWiring::keep()
{
    QString error;
    if (!m_kept.save(m_path, &error))
        qDebug().noquote() << QStringLiteral("工作区无法保存：") + error;
}
