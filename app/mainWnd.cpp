#include "mainWnd.h"
#include "ui_mainWnd.h"

#include "AlarmMonitor.h"
#include "AlarmWiring.h"
#include "AuditListWindow.h"
#include "AuditTrail.h"
#include "AuditWiring.h"
#include "DriverAudit.h"
#include "BenchModel.h"
#include "ParameterBackupWiring.h"
#include "ProcessSettingsWiring.h"
#include "RampDriver.h"
#include "MixDriver.h"
#include "MixSettingsWindow.h"
#include "ProcessSettings.h"
#include "BusCodes.h"
#include "BusHealthWindow.h"
#include "DataDirectory.h"
#include "DataFileLoader.h"
#include "DeviceLine.h"
#include "DevicePageWiring.h"
#include "DiagnosticsWiring.h"
#include "DeviceThread.h"
#include "ExitSequence.h"
#include "FileDialogSeam.h"
#include "HistoryWiring.h"
#include "JournalFiles.h"
#include "Language.h"
#include "LoginWiring.h"
#include "MessageBoxSeam.h"
#include "MessageLog.h"
#include "MqttBridge.h"
#include "MqttLinkWiring.h"
#include "MqttSettingsStore.h"
#include "ParameterWiring.h"
#include "PlotWidget.h"
#include "Reading.h"
#include "RegisterReply.h"
#include "RecordingRecovery.h"
#include "RecordingStatusLabel.h"
#include "ScanReply.h"
#include "ScanWiring.h"
#include "SerialPort.h"
#include "StageWiring.h"
#include "Workspace.h"
#include "WorkspaceWiring.h"
#include "deviceWindow.h"
#include "itemStageControl.h"
#include "loginWnd.h"
#include "lossWidget.h"
#include "qDebugWidget.h"
#include "saveFileSetWidget.h"
#include "setAdminParam.h"
#include "setDeviceParamWin.h"
#include "setSerialport.h"
#include "stageControlWidget.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

namespace {
constexpr Qt::WindowFlags kToolWindowFlags = Qt::WindowFlags(0x08004001);
constexpr int kChartPages = 15;
} // namespace

mainWnd::mainWnd(QWidget *parent, int tickIntervalMs) : QMainWindow(parent), ui(new Ui::mainWnd)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("mainWnd"));
    ui->setupUi(this);
    createPages();
    setCentralWidget(ui->tabWidget);

    serialPort = SerialPort::instance();
    createWindows();
    createMenus();
    createChartPages();
    connectWiring();
    startWorker(tickIntervalMs);
    createExitSequence();
    createRecordingStatus();
    createMqttLink();
    createProcessSettings();
    createParameterBackup();
    new AuditWiring(*this);
    createMixSettings();
    createWorkspace();
    ui->tabWidget->setCurrentIndex(0);
    qInstallMessageHandler(messageHandler);
}

mainWnd::~mainWnd()
{
    // Subscribers learn that this bench went away before its bus falls silent.
    m_mqtt->shutdown();
    // The worker runs on its own thread: stop it (closing the port there) before anything it
    // signals to is destroyed.
    deviceThread->shutdown();
    delete m_mqtt; // it lets go of the worker, which must outlive it
    delete deviceThread;
    delete ui;
}

void mainWnd::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_recordingRecovery)
        return;
    m_recordingRecovery = new RecordingRecovery(this);
    // Once the window is on the screen, not inside its showing.
    QTimer::singleShot(0, this, &mainWnd::offerRecordingRecovery);
}

void mainWnd::offerRecordingRecovery()
{
    m_recordingRecovery->offer(JournalFiles::folder());
}

// A journal that cannot be written is reported by its page with a box and a log line; the status
// bar keeps saying so until writing goes on again.
void mainWnd::followRecordingWrites(PlotWidget *page)
{
    connect(page, &PlotWidget::recordingWriteFailed, this,
            [this](const QString &message) { statusBar()->showMessage(message); });
    connect(page, &PlotWidget::recordingWriteResumed, this,
            [this](const QString &message) { statusBar()->showMessage(message, 10000); });
}

void mainWnd::createPages()
{
    m_devicePage = new deviceWindow;
    m_devicePage->setObjectName(QStringLiteral("tab_3"));
    m_stagePage = new stageControlWidget;
    m_stagePage->setObjectName(QStringLiteral("tab_4"));
    m_historyPage = new PlotWidget(nullptr, 0);
    m_historyPage->setObjectName(QStringLiteral("tab_5"));
    ui->tabWidget->addTab(m_devicePage, tr("设备管理"));
    ui->tabWidget->addTab(m_stagePage, tr("分阶流量"));
    ui->tabWidget->addTab(m_historyPage, tr("历史数据"));
    ui->tabWidget->setCurrentIndex(1);
}

void mainWnd::createWindows()
{
    saveWnd = new saveFileSetWidget(this);
    saveWnd->hide();
    ordParamWnd = new setDeviceParamWin(this);
    ordParamWnd->hide();
    serialWnd = new setSerialport(this);
    serialWnd->hide();
    deviceThread = new DeviceThread(serialPort);
    // Before the wiring: the model has taken a result in when the windows' handlers see it.
    m_model = new BenchModel(deviceThread, this);
    m_ramps = new RampDriver(m_model, this);
    m_mixes = new MixDriver(m_model, m_ramps, this);
    connect(m_mixes, &MixDriver::groupTripped, this,
            [this](int, const QString &why) { MessageBoxSeam::information(this, tr("提示"), why); });
    // Every change asked of a controller, from here on, into the data folder.
    m_audit = new AuditTrail(m_model, AuditTrail::defaultFolder(), this);
    m_alarms = new AlarmMonitor(m_model, this);
    new DriverAudit(m_audit, m_ramps, m_alarms, this);
    m_alarms->followMixes(m_mixes);
    lossWnd = new lossWidget(this);
    lossWnd->hide();
    healthWnd = new BusHealthWindow(this);
    healthWnd->hide();
    adminParamWnd = new setAdminParam(this);
    adminParamWnd->hide();
    developLoginWnd = new loginWnd(this, true);
    developLoginWnd->hide();
    adminLoginWnd = new loginWnd(this, false);
    adminLoginWnd->hide();
    debugWnd = new qDebugWidget;
    debugWnd->hide();
}

void mainWnd::createMenus()
{
    QFont menuFont = menuBar()->font();
    menuFont.setPointSize(10);
    menuBar()->setFont(menuFont);

    menuComm = menuBar()->addMenu(tr("通信设置(未连接）(C)"));
    connect(menuComm, &QMenu::aboutToShow, this, &mainWnd::set485);

    QMenu *devices = menuBar()->addMenu(tr("设备管理(D)"));
    devices->setObjectName(QStringLiteral("menuDevices"));
    auto *checkDevice = new QAction(tr("查询设备"), this);
    auto *lossStatistics = new QAction(tr("丢包统计"), this);
    auto *mqttSettings = new QAction(tr("MQTT 设置"), this);
    devices->addAction(checkDevice);
    auto *busHealth = new QAction(tr("通信诊断"), this);
    devices->addAction(lossStatistics);
    devices->addAction(busHealth);
    devices->addAction(mqttSettings);
    connect(mqttSettings, &QAction::triggered, this, [this] { m_mqtt->openSettings(); });
    connect(checkDevice, &QAction::triggered, this, &mainWnd::action_checkDevice);
    connect(lossStatistics, &QAction::triggered, this, &mainWnd::loss_Statistics);
    connect(busHealth, &QAction::triggered, this, &mainWnd::showBusHealth);

    QMenu *files = menuBar()->addMenu(tr("文件(F)"));
    actionOpenFile = new QAction(tr("打开文件"), this);
    auto *saveFile = new QAction(tr("保存文件"), this);
    files->addAction(actionOpenFile);
    files->addAction(saveFile);
    connect(saveFile, &QAction::triggered, this, &mainWnd::savePlotFile);

    QMenu *params = menuBar()->addMenu(tr("设备参数设置(P)"));
    auto *ordinary = new QAction(tr("普通参数设置"), this);
    auto *advanced = new QAction(tr("高级参数设置"), this);
    params->addAction(ordinary);
    params->addAction(advanced);
    connect(ordinary, &QAction::triggered, this, &mainWnd::setOrdParam);
    connect(advanced, &QAction::triggered, this, &mainWnd::setAdmin);

    QMenu *help = menuBar()->addMenu(tr("帮助（H）"));
    auto *version = new QAction(tr("软件版本号"), this);
    auto *manual = new QAction(tr("软件说明书"), this);
    actionDevelop = new QAction(tr("开发者模式"), this);
    help->addAction(version);
    help->addAction(manual);
    help->addAction(actionDevelop);
    // Named in both languages, so that an operator who reads neither finds the way back.
    auto *language = new QAction(QStringLiteral("语言 / Language"), this);
    language->setObjectName(QStringLiteral("actionLanguage"));
    help->addAction(language);
    connect(language, &QAction::triggered, this, &mainWnd::switchLanguage);
    connect(version, &QAction::triggered, this, &mainWnd::showVersion);
    connect(manual, &QAction::triggered, this, &mainWnd::openinstructionsFile);
}

void mainWnd::createChartPages()
{
    devicePlots.reserve(kChartPages);
    for (int address = 1; address <= kChartPages; ++address) {
        auto *page = new PlotWidget(this, 0);
        page->setDeviceId(address);
        followRecordingWrites(page);
        devicePlots.append(page);
        ui->tabWidget->addTab(page, tr("设备%1").arg(address));
    }
    saveWnd->setPendingExportLookup([this](int deviceId) {
        return deviceId >= 1 && deviceId <= kChartPages ? devicePlots[deviceId - 1]->pendingExportFile()
                                                        : QString();
    });
    saveWnd->setOnlineLookup([this](int deviceId) { return benchModel()->isOnline(quint8(deviceId)); });
}

// The wiring, feature by feature. Several signals have more than one receiver, and Qt calls the
// receivers of one thread in connection order: a scan's addresses reach the rows, the save window,
// the stage widgets and the worker in that order (ScanWiring), a reading the row before the chart
// (DevicePageWiring before HistoryWiring).
void mainWnd::connectWiring()
{
    ScanWiring::connect(*this);
    DevicePageWiring::connect(*this);
    StageWiring::connect(*this);
    ParameterWiring::connect(*this);
    LoginWiring::connect(*this);
    HistoryWiring::connect(*this);
    DiagnosticsWiring::connect(*this);
}

void mainWnd::startWorker(int tickIntervalMs)
{
    if (deviceThread->isRunning())
        return;
    serialPort->moveToThread(deviceThread);
    deviceThread->start(QThread::InheritPriority);
    deviceThread->startMainTimer(tickIntervalMs);
}

void mainWnd::createExitSequence()
{
    m_exit = new ExitSequence(this, m_stagePage, deviceThread, devicePlots);
    m_exit->setMixes(m_mixes);
    connect(m_exit, &ExitSequence::readyToClose, this, &QWidget::close);
    connect(m_exit, &ExitSequence::stoppingFlows, m_audit, [this](const QList<quint8> &devices) {
        for (quint8 device : devices)
            m_model->announceStep(device, 0.0f, Driver::exitStop());
    });
    connect(deviceThread, &DeviceThread::sig_flowsStopped, m_audit, &AuditTrail::endUnconfirmedStops);
    connect(deviceThread, &DeviceThread::sig_modifyParamStatus, m_audit,
            [this](bool written, int type) { m_audit->endParameterWrite(false, type, written); });
    connect(deviceThread, &DeviceThread::sig_modifyAdminStatus, m_audit,
            [this](bool written, int type) { m_audit->endParameterWrite(true, type, written); });
}

void mainWnd::closeEvent(QCloseEvent *event)
{
    if (!m_exit->allowsClose()) {
        event->ignore();
        return;
    }
    event->accept();
    // The debug window has no parent and would keep the event loop, and with it the polling,
    // going behind a program the operator has closed.
    deviceThread->requestStop();
    QCoreApplication::quit();
}

void mainWnd::createRecordingStatus()
{
    m_recordingStatus = new RecordingStatusLabel(this);
    statusBar()->addPermanentWidget(m_recordingStatus);
    for (int k = 0; k < devicePlots.size(); ++k)
        m_recordingStatus->follow(k + 1, devicePlots[k]);
}

// Off by default: with publishing off the link holds no connection and costs nothing.
void mainWnd::createMqttLink()
{
    m_mqtt = new MqttLinkWiring(this, deviceThread, m_model, m_stagePage, MqttSettingsStore::defaultFolder());
    m_mqtt->bridge().setProcess(m_ramps, m_alarms);
    m_mqtt->bridge().setMixes(m_mixes);
}

void mainWnd::openWindow(QWidget *window, const QString &title)
{
    window->setWindowFlags(window->windowFlags() | Qt::Window);
    window->show();
    window->setWindowTitle(title);
}

void mainWnd::set485()
{
    openWindow(serialWnd, tr("串口通信参数设置"));
    emit refreshSer();
}

void mainWnd::savePlotFile()
{
    openWindow(saveWnd, tr("保存设置"));
}

void mainWnd::setOrdParam()
{
    ordParamWnd->setWindowFlags(kToolWindowFlags);
    openWindow(ordParamWnd, tr("普通参数设置"));
}

void mainWnd::setAdmin()
{
    openWindow(adminLoginWnd, tr("请登录"));
}

void mainWnd::showDevelopAction()
{
    openWindow(developLoginWnd, tr("请登录"));
}

void mainWnd::loss_Statistics()
{
    openWindow(lossWnd, tr("丢包统计"));
}

void mainWnd::showBusHealth()
{
    openWindow(healthWnd, tr("通信诊断"));
    healthWnd->raise();
}

void mainWnd::showVersion()
{
    MessageBoxSeam::information(this, tr("提示"), tr("当前版本号为V2.0.0"));
}

void mainWnd::switchLanguage()
{
    const UiLanguage next =
        Language::current() == UiLanguage::English ? UiLanguage::Chinese : UiLanguage::English;
    if (!Language::store(next)) {
        MessageBoxSeam::warning(this, tr("错误提示"), tr("无法保存界面语言的设置"));
        return;
    }
    MessageBoxSeam::information(this, tr("提示"),
                                next == UiLanguage::English ? tr("下次启动时界面将使用英文。")
                                                            : tr("下次启动时界面将使用中文。"));
}

void mainWnd::openinstructionsFile()
{
    const QString manual = QDir(QCoreApplication::applicationDirPath())
                               .filePath(Language::manualFileName(Language::current()));
    if (QFileInfo::exists(manual)) {
        // Without a PDF viewer the desktop cannot open it; the operator can still open the file.
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(manual)))
            MessageBoxSeam::information(this, tr("提示"),
                                        tr("无法打开说明书，请用PDF阅读器打开文件：\n%1")
                                            .arg(QDir::toNativeSeparators(manual)));
        return;
    }
    MessageBoxSeam::warning(this, tr("错误提示"), tr("说明书文件不存在，请检查文件路径"));
}

void mainWnd::openPlotFile()
{
    delete m_fileLoader; // a file still being drawn gives way to the new one
    for (int type = 1; type <= PlotWidget::TypeCount; ++type)
        m_historyPage->plot(type)->clearPoints();
    const QString fileName = FileDialogSeam::getOpenFileName(
        this, tr("选择CSV文件"), defaultDataDirectory(), QStringLiteral("CSV Files (*.csv)"));
    if (fileName.isEmpty())
        return;
    m_fileLoader = new DataFileLoader(fileName, m_historyPage, this);
    QString error;
    if (!m_fileLoader->open(&error)) {
        delete m_fileLoader;
        qDebug() << "Unable to open file"
                 << "\n";
        MessageBoxSeam::warning(this, tr("提示"), tr("无法打开文件%1（%2）").arg(fileName, error));
        return;
    }
    connect(m_fileLoader, &DataFileLoader::finished, this, &mainWnd::reportFileOpened);
    m_fileLoader->start();
}

void mainWnd::reportFileOpened(const QString &fileName)
{
    m_fileLoader->deleteLater();
    if (!m_fileLoader->readError().isEmpty()) {
        MessageBoxSeam::warning(this, tr("提示"),
                                tr("无法打开文件%1（%2）").arg(fileName, m_fileLoader->readError()));
        return;
    }
    if (m_fileLoader->wasCut()) {
        MessageBoxSeam::warning(this, tr("提示"),
                                tr("只打开了%1的一部分：每种数据最多显示%2个点")
                                    .arg(fileName, QString::number(DataFileLoader::MaxPointsPerType)));
        return;
    }
    // UTF-16 text or random bytes hold no line to draw: saying the file opened would hide that.
    bool drawn = false;
    for (int type = 1; type <= PlotWidget::TypeCount; ++type)
        drawn = drawn || !m_historyPage->plot(type)->points().isEmpty();
    if (!drawn) {
        MessageBoxSeam::warning(this, tr("提示"), tr("文件%1中没有找到数据").arg(fileName));
        return;
    }
    MessageBoxSeam::information(this, tr("提示"), tr("成功打开%1").arg(fileName));
}

void mainWnd::action_checkDevice()
{
    if (!m_portOpen) {
        qDebug() << "串口未连接";
        MessageBoxSeam::information(this, tr("提示"), tr("串口未连接"));
        return;
    }
    deviceThread->requestScan();
}

void mainWnd::updateSerStatus(int type)
{
    using Bus::PortStatus;
    if (type == Bus::code(PortStatus::Opened)) {
        m_portOpen = true;
        menuComm->setTitle(tr("通信设置(已连接)"));
        restoreLinkDroppedRows();
    } else if (type == Bus::code(PortStatus::Closed) || type == Bus::code(PortStatus::OpenFailed)) {
        m_portOpen = false;
        menuComm->setTitle(tr("通信设置(未连接)"));
    }
}

void mainWnd::showLinkLost(QString)
{
    for (int k = 0; k < m_devicePage->rowCount(); ++k) {
        DeviceLine *row = m_devicePage->row(k);
        if (!row || !row->isConnected())
            continue;
        const quint8 id = quint8(row->deviceIdText().toInt());
        linkDroppedIds.append(id);
        emit sig_refresdDevicedSta(id, false);
    }
    MessageBoxSeam::information(this, tr("提示"), tr("串口连接中断"));
}

// The worker polls the controllers that were online as soon as the port is open again; their rows
// take them online again as an operator would, which also reads their mode and setpoints back.
void mainWnd::restoreLinkDroppedRows()
{
    const QList<quint8> dropped = linkDroppedIds;
    linkDroppedIds.clear();
    for (quint8 id : dropped) {
        DeviceLine *row = rowOf(id);
        if (row && row->hasDropped())
            row->on_btn_online_clicked();
    }
}

void mainWnd::slot_CheckDevice(QByteArray datas)
{
    showScanResult(ScanResult::fromReceived(datas, deviceThread->adapterEchoes()));
}

void mainWnd::showScanResult(const ScanResult &scan)
{
    qDebug() << "查询设备接收的报文是" << scan.received.toHex() << "\n";
    // Nobody answered: the worker goes on polling the devices it knows, so their rows stay, with
    // their addresses, to be read and taken offline.
    if (scan.received.isEmpty()) {
        MessageBoxSeam::information(this, tr("提示"), tr("没有查询到设备"));
        return;
    }
    for (int k = 0; k < m_devicePage->rowCount(); ++k)
        m_devicePage->row(k)->resetRow();
    linkDroppedIds.clear();
    const QList<quint8> &found = scan.addresses;
    foundIds = QSet<quint8>(found.begin(), found.end());
    deviceIds = found;
    m_model->setScanned(found);
    qDebug() << "找到的设备是:";
    emit clearCombox();
    for (quint8 address : qAsConst(deviceIds)) {
        qDebug() << QString::number(address, 16).toUpper();
        emit isBeenFindDevice(address);
    }
    emit sendDeviceCount(deviceIds);
    m_alarmWiring->markRows();
}

void mainWnd::receiveDevicesCount(QList<quint8> devices)
{
    if (devices.isEmpty()) {
        MessageBoxSeam::information(this, tr("提示"), tr("没有查询到设备"));
        return;
    }
    QString report;
    for (int k = 0; k < devices.size(); ++k) {
        if (DeviceLine *row = m_devicePage->row(k))
            row->setDeviceId(QString::number(devices[k]));
        report += QString::number(devices[k]) + QLatin1Char(',');
    }
    MessageBoxSeam::information(this, tr("提示"),
                                tr("查询设备完成，查询到的设备为:%1").arg(report));
}

void mainWnd::slot_receiveStageWidget(QList<quint8> devices)
{
    const int count = qMin(devices.size(), m_stagePage->items().size());
    for (int k = 0; k < count; ++k)
        m_stagePage->items().at(k)->setDeviceId(devices.at(k));
}

DeviceLine *mainWnd::rowOf(quint8 deviceId) const
{
    const int k = deviceIds.indexOf(deviceId);
    return k < 0 ? nullptr : m_devicePage->row(k);
}

void mainWnd::slot_refreshDeviceMode(uchar deviceId, int mode)
{
    if (mode != 0 && mode != 1)
        return;
    if (DeviceLine *row = rowOf(deviceId))
        row->showDeviceMode(mode);
    // The setpoint of the mode in force is read back first.
    using Bus::SetpointKind;
    const bool cumulative = mode == 1;
    emit showsCurCumset(Bus::code(cumulative ? SetpointKind::Cumulative : SetpointKind::Instant), deviceId);
    emit showsCurCumset(Bus::code(cumulative ? SetpointKind::Instant : SetpointKind::Cumulative), deviceId);
}

void mainWnd::slot_deviceISconnectd(uchar deviceId, bool isconnect)
{
    if (!isconnect) {
        MessageBoxSeam::information(this, tr("提示"), tr("设备:%1掉线").arg(int(deviceId)));
    }
    emit sig_refresdDevicedSta(deviceId, isconnect);
}

void mainWnd::showDeviceCum(int type, uchar deviceId, QByteArray result)
{
    showSetpointReadBack(RegisterReply::fromFrame(type, deviceId, result, ReadTime::now()));
}

void mainWnd::showSetpointReadBack(const RegisterReply &reply)
{
    qDebug() << "现在模式的流量值是报文" << reply.frame.toHex();
    if (!reply.isValid())
        return;
    qDebug() << "f_result" << reply.asFloat << "\n";
    if (DeviceLine *row = rowOf(reply.deviceId))
        row->showSetpoint(reply.code, reply.asFloat);
}

void mainWnd::refreshDeiceInforMation(int type, uchar deviceId, QByteArray result)
{
    showReadingInRow(Reading::fromReply(type, deviceId, result, ReadTime::now()));
}

void mainWnd::feedDeviceChart(int type, int deviceId, QByteArray result)
{
    if (deviceId < 1 || deviceId > kChartPages)
        return;
    plotReading(Reading::fromReply(type, quint8(deviceId), result, ReadTime::now()));
}

void mainWnd::showReadingInRow(const Reading &reading)
{
    if (DeviceLine *row = rowOf(reading.deviceId))
        row->showReading(reading);
}

void mainWnd::plotReading(const Reading &reading)
{
    if (reading.deviceId < 1 || reading.deviceId > kChartPages)
        return;
    devicePlots[reading.deviceId - 1]->addReading(reading);
}

void mainWnd::requestSetpointWrite(uchar deviceId, int type, float value)
{
    qDebug() << "开始修改瞬时流量"
             << "\n";
    const bool flow = type == Bus::code(Bus::SetpointKind::Instant);
    const QString refused = flow ? m_ramps->approach(deviceId, value, Driver::operatorRow())
                                 : m_model->requestSetpoint(deviceId, type, value, Driver::operatorRow());
    if (refused.isEmpty())
        return;
    qDebug() << "设定值被拒绝：" << refused;
    MessageBoxSeam::warning(this, tr("错误提示"), refused);
    if (DeviceLine *row = rowOf(deviceId))
        row->revertSetpoint(type);
}

void mainWnd::showRamp(quint8 deviceId)
{
    if (DeviceLine *row = rowOf(deviceId))
        row->showRamp(m_ramps->target(deviceId), m_ramps->reached(deviceId).value_or(0.0f), m_ramps->rate(deviceId));
}

void mainWnd::createProcessSettings()
{
    m_process = new ProcessSettingsWiring(this, m_ramps, m_alarms, ProcessSettings::defaultPath());
    m_alarmWiring = new AlarmWiring(this, m_alarms);
    QMenu *devices = menuBar()->findChild<QMenu *>(QStringLiteral("menuDevices"));
    auto *open = new QAction(tr("过程设置"), this);
    open->setObjectName(QStringLiteral("actionProcessSettings"));
    devices->addAction(open);
    connect(open, &QAction::triggered, m_process, [this] { m_process->open(deviceIds); });
    auto *alarmList = new QAction(tr("报警记录"), this);
    alarmList->setObjectName(QStringLiteral("actionAlarmList"));
    devices->addAction(alarmList);
    connect(alarmList, &QAction::triggered, m_alarmWiring, &AlarmWiring::openList);
    m_auditList = new AuditListWindow(AuditTrail::defaultFolder(), this);
    m_auditList->hide();
    auto *auditList = new QAction(tr("操作记录"), this);
    auditList->setObjectName(QStringLiteral("actionAuditList"));
    devices->addAction(auditList);
    connect(auditList, &QAction::triggered, m_auditList, [this] {
        m_auditList->refresh();
        openWindow(m_auditList, tr("操作记录"));
        m_auditList->raise();
    });
}

// The groups are read back defined, never running: an operator starts them.
void mainWnd::createMixSettings()
{
    ProcessSettings settings;
    QString error;
    if (settings.load(ProcessSettings::defaultPath(), &error)) {
        const QMap<int, MixGroup> groups = settings.mixes();
        for (auto it = groups.cbegin(); it != groups.cend(); ++it)
            m_mixes->setGroup(it.key(), it.value());
    }
    m_mixWindow = new MixSettingsWindow(m_mixes, m_model, ProcessSettings::defaultPath(), this);
    m_mixWindow->hide();
    QMenu *devices = menuBar()->findChild<QMenu *>(QStringLiteral("menuDevices"));
    auto *open = new QAction(tr("混合设置"), this);
    open->setObjectName(QStringLiteral("actionMixSettings"));
    devices->addAction(open);
    connect(open, &QAction::triggered, this, [this] {
        m_mixWindow->setWindowFlags(m_mixWindow->windowFlags() | Qt::Window);
        m_mixWindow->showGroup(m_mixWindow->currentGroup());
        m_mixWindow->show();
        m_mixWindow->raise();
    });
}

void mainWnd::createParameterBackup()
{
    m_backup = new ParameterBackupWiring(this);
    QMenu *devices = menuBar()->findChild<QMenu *>(QStringLiteral("menuDevices"));
    auto *open = new QAction(tr("参数备份"), this);
    open->setObjectName(QStringLiteral("actionParameterBackup"));
    devices->addAction(open);
    connect(open, &QAction::triggered, m_backup, [this] { m_backup->open(deviceIds); });
}

// Last: its handlers of the worker's signals run after the pages' own.
void mainWnd::createWorkspace()
{
    m_workspace = new WorkspaceWiring(this, Workspace::defaultPath());
}

void mainWnd::showControllerState(quint8 deviceId)
{
    DeviceLine *row = rowOf(deviceId);
    const ControllerRecord *controller = m_model->record(deviceId);
    if (!row || !controller)
        return;
    if (controller->state != ControllerRecord::State::Dropped) {
        row->showReadingsCurrent();
        return;
    }
    qint64 lastMs = 0;
    for (const auto &reading : controller->readings) {
        if (reading)
            lastMs = qMax(lastMs, reading->readTime.wallMs);
    }
    row->showReadingsStale(lastMs > 0 ? QDateTime::fromMSecsSinceEpoch(lastMs) : QDateTime());
}

void mainWnd::showSetpointWritten(int kind, int deviceId, float value)
{
    if (DeviceLine *row = rowOf(quint8(deviceId)))
        row->confirmSetpoint(kind, value);
}

void mainWnd::showSetpointGivenUp(int kind, int deviceId)
{
    qDebug() << "设备" << deviceId << "的设定值写入失败，已放弃";
    if (DeviceLine *row = rowOf(quint8(deviceId)))
        row->markSetpointFailed(kind);
}

// Nothing is polled on a closed port: no row may look live, nor wait to be declared lost.
void mainWnd::showPortClosed()
{
    linkDroppedIds.clear();
    for (int k = 0; k < m_devicePage->rowCount(); ++k) {
        DeviceLine *row = m_devicePage->row(k);
        if (!row->deviceIdText().isEmpty())
            row->resetKeepingAddress();
    }
}

void mainWnd::slots_showDeviceParam(uchar deviceId)
{
    qDebug() << "打开设备" << deviceId << "的参数";
    deviceThread->requestOrdinaryRead(deviceId);
}

void mainWnd::slot_modifyDeviceParam(uchar deviceId, int type, int data_type, int data1, float data2)
{
    qDebug() << "管理员修改的type是" << type << ",数据是" << data1;
    m_audit->noteParameterWrite(deviceId, false, type, data_type == 2 ? double(data2) : double(data1));
    deviceThread->requestOrdinaryWrite(deviceId, type, data_type, data1, data2);
}

void mainWnd::slot_showAdmin(uchar deviceId)
{
    deviceThread->requestAdminRead(deviceId);
}

void mainWnd::slot_modifyAdminParam(uchar deviceId, int type, int data_type, int data1, float data2)
{
    m_audit->noteParameterWrite(deviceId, true, type, data_type == 2 ? double(data2) : double(data1));
    deviceThread->requestAdminWrite(deviceId, type, data_type, data1, data2);
}

void mainWnd::logFlowSet(int type, float)
{
    if (type == Bus::code(Bus::SetpointKind::Instant))
        qDebug() << "设置瞬时流量";
    else if (type == Bus::code(Bus::SetpointKind::Cumulative))
        qDebug() << "设置累计流量";
}

void mainWnd::startChartSave(int deviceId, QDateTime startTime, int duartion, bool save_cur, bool save_cum,
                             bool save_temp, bool save_press, QString fileName)
{
    if (deviceId < 1 || deviceId > kChartPages)
        return;
    devicePlots[deviceId - 1]->scheduleSave(startTime, duartion, save_cur, save_cum, save_temp, save_press,
                                            fileName);
}

void mainWnd::resoponseLogWnd(bool invalid)
{
    if (!invalid) {
        MessageBoxSeam::information(this, tr("提示"), tr("密码错误"));
        return;
    }
    adminParamWnd->setWindowFlags(kToolWindowFlags);
    adminParamWnd->show();
    adminParamWnd->setWindowTitle(tr("高级参数修改"));
    adminLoginWnd->hide();
    emit clearMessge();
}

void mainWnd::responseDevpWnd(bool invalid)
{
    if (!invalid) {
        MessageBoxSeam::information(this, tr("提示"), tr("密码错误"));
        return;
    }
    debugWnd->show();
    emit clearMessge();
}

void mainWnd::slot_closeDebug()
{
    debugWnd->hide();
}
