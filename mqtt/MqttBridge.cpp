#include "MqttBridge.h"

#include "BridgeLog.h"
#include "MqttClient.h"
#include "MqttPublisher.h"
#include "RemoteCommands.h"

MqttBridge::MqttBridge(DeviceThread *worker, BenchModel *model, QObject *parent)
    : QObject(parent), m_worker(worker), m_client(std::make_unique<MqttClient>()),
      m_publisher(std::make_unique<MqttPublisher>(*m_client, worker, model)),
      m_commands(std::make_unique<RemoteCommands>(*m_client, worker, model, m_topics))
{
    m_connectionText = tr("MQTT未启用");
    connect(m_client.get(), &MqttClient::connected, this, &MqttBridge::onConnected);
    connect(m_client.get(), &MqttClient::connectionFailed, this, &MqttBridge::onConnectionFailed);
    connect(m_commands.get(), &RemoteCommands::logLine, this, &MqttBridge::logLine);
}

MqttBridge::~MqttBridge()
{
    shutdown();
}

bool MqttBridge::sameConnection(const MqttSettings &a, const MqttSettings &b)
{
    return a.host == b.host && a.port == b.port && a.user == b.user && a.password == b.password &&
           a.caFile == b.caFile && MqttSettings::cleanPrefix(a.prefix) == MqttSettings::cleanPrefix(b.prefix) &&
           a.publish == b.publish;
}

void MqttBridge::apply(const MqttSettings &settings)
{
    const bool restart = !m_running || !sameConnection(settings, m_settings);
    m_settings = settings;
    m_commands->setAllowed(settings.allowSetpoints);
    if (!restart)
        return;
    shutdown();
    if (!settings.publish) {
        showConnection(tr("MQTT未启用"));
        return;
    }
    start();
}

void MqttBridge::start()
{
    const QString prefix = MqttSettings::cleanPrefix(m_settings.prefix);
    if (prefix.isEmpty()) {
        showConnection(tr("MQTT未连接：主题前缀不可用"));
        emit logLine(BridgeLog::failure(BridgeLog::say(QStringLiteral("MQTT主题前缀不可用："),
                                                       QStringLiteral("MQTT topic prefix unusable: ")) +
                                        m_settings.prefix));
        return;
    }
    m_topics = MqttTopics(prefix);
    m_publisher->setTopics(m_topics);
    m_client->setSubscriptions(m_topics.commandPatterns());
    QString error;
    if (!m_client->start(m_settings, m_topics.status(), QByteArrayLiteral("offline"), &error)) {
        showConnection(tr("MQTT未连接：%1").arg(error));
        emit logLine(BridgeLog::failure(
            BridgeLog::say(QStringLiteral("MQTT无法启动："), QStringLiteral("MQTT cannot start: ")) + error));
        return;
    }
    m_running = true;
    showConnection(tr("MQTT正在连接 %1:%2").arg(m_settings.host).arg(m_settings.port));
}

void MqttBridge::shutdown()
{
    if (!m_running)
        return;
    m_running = false;
    m_publisher->publishAllOffline();
    m_client->stop(m_topics.status(), QByteArrayLiteral("offline"));
    showConnection(tr("MQTT未启用"));
}

void MqttBridge::onConnected()
{
    if (!m_running)
        return;
    // The application's log keeps its lines in the language the program is written in (quorix-cli's
    // are English); the operator reads the state in his own.
    emit logLine(BridgeLog::say(QStringLiteral("MQTT已连接 %1:%2，主题前缀 %3"),
                                QStringLiteral("MQTT connected to %1:%2, topic prefix %3"))
                     .arg(m_settings.host, QString::number(m_settings.port), m_topics.prefix()));
    showConnection(tr("MQTT已连接 %1:%2").arg(m_settings.host).arg(m_settings.port));
}

void MqttBridge::onConnectionFailed(const QString &reason)
{
    if (!m_running)
        return;
    const QString port = QString::number(m_settings.port);
    const QString shown = tr("MQTT未连接 %1:%2：%3").arg(m_settings.host, port, reason);
    // A broker away for an hour is one line, not one per attempt.
    if (shown != m_connectionText)
        emit logLine(
            BridgeLog::failure(BridgeLog::say(QStringLiteral("MQTT未连接 %1:%2：%3（自动重连）"),
                                              QStringLiteral("MQTT not connected to %1:%2: %3 (retrying)"))
                                   .arg(m_settings.host, port, reason)));
    showConnection(shown);
}

void MqttBridge::showConnection(const QString &text)
{
    if (text == m_connectionText)
        return;
    m_connectionText = text;
    emit connectionChanged(text);
}

void MqttBridge::setProgrammeStop(std::function<void()> stop)
{
    m_commands->setProgrammeStop(std::move(stop));
}

void MqttBridge::setProcess(RampDriver *ramps, AlarmMonitor *alarms)
{
    m_publisher->setProcess(ramps, alarms);
    m_commands->setProcess(ramps, alarms);
}

void MqttBridge::setMixes(MixDriver *mixes)
{
    m_publisher->setMixes(mixes);
    m_commands->setMixes(mixes);
}

bool MqttBridge::isConnected() const
{
    return m_client->isConnected();
}

qint64 MqttBridge::droppedReadings() const
{
    return m_publisher->droppedReadings();
}
