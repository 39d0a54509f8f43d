#pragma once

#include "ControllerStates.h"
#include "MqttSettings.h"
#include "MqttTopics.h"

#include <QObject>
#include <functional>
#include <memory>

class DeviceThread;
class MqttClient;
class MqttPublisher;
class RemoteCommands;

// The MQTT link of one worker: the broker connection, the publisher of what the worker reports and
// the handler of remote commands, set up from MqttSettings. Switched off (the default) it holds no
// connection and costs a reading nothing. The owner tells it which controllers the last scan found
// and which are online; drops, lost adapters and closed ports it learns from the worker itself.
class MqttBridge : public QObject
{
    Q_OBJECT
public:
    // The worker must outlive the bridge.
    explicit MqttBridge(DeviceThread *worker, QObject *parent = nullptr);
    ~MqttBridge() override;

    // Connects, reconnects with new connection settings, or goes offline when publishing is off.
    void apply(const MqttSettings &settings);
    // Publishes "offline" as the status and closes the connection.
    void shutdown();
    const MqttSettings &settings() const { return m_settings; }

    void setScanned(const QList<quint8> &ids);
    void setState(quint8 deviceId, ControllerStates::State state);
    const ControllerStates &states() const;
    void setDrivenDevices(std::function<QList<quint8>()> driven);
    void setProgrammeStop(std::function<void()> stop);

    bool isConnected() const;
    QString connectionText() const { return m_connectionText; }
    qint64 droppedReadings() const;
    MqttClient &client() { return *m_client; }

signals:
    // For the status bar: the link's state in a few words, whenever it changes.
    void connectionChanged(QString text);
    // For the message log: connection changes, each remote command and its outcome.
    void logLine(QString line);

private:
    static bool sameConnection(const MqttSettings &a, const MqttSettings &b);
    void start();
    void onConnected();
    void onConnectionFailed(const QString &reason);
    void showConnection(const QString &text);

    DeviceThread *m_worker;
    MqttSettings m_settings;
    MqttTopics m_topics;
    std::unique_ptr<MqttClient> m_client;
    std::unique_ptr<MqttPublisher> m_publisher;
    std::unique_ptr<RemoteCommands> m_commands;
    QString m_connectionText;
    bool m_running = false;
};
