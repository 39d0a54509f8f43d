#include "HeadlessBridge.h"

#include "AlarmMonitor.h"
#include "AuditTrail.h"
#include "DriverAudit.h"
#include "BenchModel.h"
#include "BridgeLog.h"
#include "MixDriver.h"
#include "ProcessSettings.h"
#include "RampDriver.h"
#include "BusCodes.h"
#include "DeviceThread.h"
#include "MqttBridge.h"
#include "PortTrouble.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QStringList>
#include <QTextStream>
#include <QTimer>

using State = ControllerRecord::State;

HeadlessBridge::HeadlessBridge(const Options &options, QTextStream &logStream, QObject *parent)
    : QObject(parent), m_options(options), m_log(logStream), m_worker(std::make_unique<DeviceThread>()),
      m_model(std::make_unique<BenchModel>(m_worker.get())),
      m_bridge(std::make_unique<MqttBridge>(m_worker.get(), m_model.get())),
      m_audit(std::make_unique<AuditTrail>(m_model.get(), AuditTrail::defaultFolder()))
{
    DeviceThread *worker = m_worker.get();
    connect(worker, &DeviceThread::sig_openFailed, this, [this](const QString &reason) { m_openFailure = reason; });
    connect(worker, &DeviceThread::signal_ser_status, this, &HeadlessBridge::onPortStatus);
    connect(worker, &DeviceThread::sig_scanResult, this, &HeadlessBridge::onScanned);
    connect(worker, &DeviceThread::deviceconnectStatus, this, &HeadlessBridge::onDropped);
    connect(worker, &DeviceThread::sig_linkLost, this,
            [this](const QString &reason) {
                logError(QStringLiteral("port connection lost: ") + PortTrouble::loss(m_options.port, reason));
            });
    connect(m_bridge.get(), &MqttBridge::logLine, this, &HeadlessBridge::log);
    connect(worker, &DeviceThread::sig_flowsStopped, m_audit.get(), &AuditTrail::endUnconfirmedStops);
}

bool HeadlessBridge::loadProcessSettings(QString *error)
{
    if (m_options.settingsFile.isEmpty())
        return true;
    ProcessSettings settings;
    if (!settings.load(m_options.settingsFile, error))
        return false;
    m_ramps = std::make_unique<RampDriver>(m_model.get());
    m_alarms = std::make_unique<AlarmMonitor>(m_model.get());
    for (quint8 address : settings.addresses()) {
        m_ramps->setRate(address, settings.rampRate(address));
        m_alarms->setSettings(address, settings.alarms(address));
    }
    const auto describe = [](const AlarmRecord &record) {
        return QStringLiteral("controller %1 %2 %3 (limit %4)")
            .arg(record.address)
            .arg(AlarmRecord::kindKey(record.kind))
            .arg(record.value, 0, 'g', 6)
            .arg(record.limit, 0, 'g', 6);
    };
    connect(m_alarms.get(), &AlarmMonitor::alarmRaised, this,
            [this, describe](const AlarmRecord &record) { log(QStringLiteral("alarm raised: ") + describe(record)); });
    connect(m_alarms.get(), &AlarmMonitor::alarmChanged, this, [this, describe](const AlarmRecord &record) {
        if (!record.active && record.cleared.isValid())
            log(QStringLiteral("alarm cleared: ") + describe(record));
    });
    connect(m_alarms.get(), &AlarmMonitor::zeroSent, this, [this, describe](const AlarmRecord &record) {
        log(QStringLiteral("alarm action: controller %1 set to 0 for ").arg(record.address) + describe(record));
    });
    new DriverAudit(m_audit.get(), m_ramps.get(), m_alarms.get(), this);
    m_bridge->setProcess(m_ramps.get(), m_alarms.get());
    // Defined, never running: only a remote total starts a group.
    m_mixes = std::make_unique<MixDriver>(m_model.get(), m_ramps.get());
    const QMap<int, MixGroup> groups = settings.mixes();
    for (auto it = groups.cbegin(); it != groups.cend(); ++it)
        m_mixes->setGroup(it.key(), it.value());
    connect(m_mixes.get(), &MixDriver::groupTripped, this,
            [this](int group, const QString &why) { logError(QStringLiteral("mix group %1 stopped: ").arg(group) + why); });
    m_alarms->followMixes(m_mixes.get());
    m_bridge->setMixes(m_mixes.get());
    return true;
}

HeadlessBridge::~HeadlessBridge()
{
    m_bridge->shutdown();
    m_worker->shutdown();
}

void HeadlessBridge::log(const QString &line)
{
    if (BridgeLog::isFailure(line))
        return logError(BridgeLog::withoutPrefix(line));
    m_log << QDateTime::currentDateTime().toString(Qt::ISODateWithMs) << ' ' << line << '\n';
    m_log.flush();
}

// A failure starts its line as every error of the tool does, so that one pattern finds them all.
void HeadlessBridge::logError(const QString &line)
{
    m_log << "quorix-cli: " << QDateTime::currentDateTime().toString(Qt::ISODateWithMs) << ' ' << line << '\n';
    m_log.flush();
}

void HeadlessBridge::start()
{
    m_worker->start();
    m_worker->setCommParam(Bus::code(Bus::CommSetting::QueryPeriod), m_options.periodMs);
    m_worker->setCommParam(Bus::code(Bus::CommSetting::ReplyTimeout), m_options.replyTimeoutMs);
    m_worker->startMainTimer(m_options.periodMs);
    m_worker->slot_openSer(Bus::code(Bus::PortRequest::Open), m_options.port, m_options.baud);
}

void HeadlessBridge::onPortStatus(int status)
{
    if (status == Bus::code(Bus::PortStatus::OpenFailed)) {
        // The worker hands over the port's text only; its permission error is the one that may
        // mean another program holds the port.
        const auto error = m_openFailure.startsWith(QLatin1String("Permission")) ? QSerialPort::PermissionError
                                                                                : QSerialPort::UnknownError;
        logError(PortTrouble::cannotOpen(m_options.port, error, m_openFailure));
        end(2);
        return;
    }
    if (status != Bus::code(Bus::PortStatus::Opened))
        return;
    if (!m_scanned) {
        m_worker->requestScan();
        return;
    }
    // The adapter is back: the worker polls again what it polled; the dropped ones come along.
    log(QStringLiteral("port connection restored"));
    for (quint8 id : m_model->scanned()) {
        const ControllerRecord *record = m_model->record(id);
        if (record && record->state == State::Dropped)
            takeOnline(id, Bus::code(Bus::OnlineRequest::TakeOnlineAgain));
    }
}

void HeadlessBridge::onScanned(const ScanResult &result)
{
    m_scanned = true;
    const QList<quint8> found = result.addresses;
    if (found.isEmpty()) {
        logError(QStringLiteral("no device answered the scan of %1").arg(m_options.port));
        end(1);
        return;
    }
    QStringList names;
    for (quint8 id : found)
        names.append(QString::number(id));
    log(QStringLiteral("polling %1 every %2 ms").arg(names.join(','), QString::number(m_options.periodMs)));
    m_worker->slot_checkDevices(found);
    m_model->setScanned(found);
    for (quint8 id : found)
        takeOnline(id, Bus::code(Bus::OnlineRequest::TakeOnline));
    m_bridge->apply(m_options.mqtt);
}

void HeadlessBridge::takeOnline(quint8 deviceId, int how)
{
    m_worker->slot_onlineDevice(how, deviceId);
    m_model->noteOnlineRequest(how, deviceId);
    // Without rows to ask for them, what it holds is read here: the retained setpoints show it.
    m_worker->slot_showFlowResult(Bus::code(Bus::SetpointKind::Instant), deviceId);
    m_worker->slot_showFlowResult(Bus::code(Bus::SetpointKind::Cumulative), deviceId);
}

void HeadlessBridge::onDropped(int deviceId, bool connected)
{
    if (connected || m_ended)
        return;
    log(QStringLiteral("device %1 dropped; taken online again in %2 s").arg(deviceId).arg(RetakeMs / 1000));
    QTimer::singleShot(RetakeMs, this, [this, deviceId] {
        const ControllerRecord *record = m_model->record(quint8(deviceId));
        if (!m_ended && record && record->state == State::Dropped)
            takeOnline(quint8(deviceId), Bus::code(Bus::OnlineRequest::TakeOnlineAgain));
    });
}

void HeadlessBridge::stop()
{
    // A second signal (SIGINT and then SIGTERM, a terminal's and a service manager's) finds the
    // bridge already ending.
    if (m_ended || m_stopping)
        return;
    log(QStringLiteral("stopping"));
    const QList<quint8> members = m_mixes ? m_mixes->runningMembers() : QList<quint8>();
    if (members.isEmpty()) {
        end(0);
        return;
    }
    // A running mix is not left flowing without the bridge that watches it.
    m_stopping = true;
    QStringList names;
    for (quint8 id : members)
        names.append(QString::number(id));
    log(QStringLiteral("setting the running mix groups' members %1 to 0").arg(names.join(',')));
    connect(m_worker.get(), &DeviceThread::sig_flowsStopped, this, [this](const QList<quint8> &unconfirmed) {
        if (m_ended)
            return;
        QStringList missing;
        for (quint8 id : unconfirmed)
            missing.append(QString::number(id));
        if (!missing.isEmpty())
            logError(QStringLiteral("controllers %1 did not confirm 0").arg(missing.join(',')));
        end(0);
    });
    m_worker->requestFlowStop(members, QDeadlineTimer(MixStopBudgetMs));
    QTimer::singleShot(MixStopBudgetMs + 2000, this, [this] { end(0); });
}

void HeadlessBridge::end(int code)
{
    if (m_ended)
        return;
    m_ended = true;
    m_bridge->shutdown();
    m_worker->shutdown();
    emit finished(code);
}
