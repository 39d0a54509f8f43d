#pragma once

#include "MqttSettings.h"
#include "MqttTopics.h"

#include <QObject>
#include <functional>
#include <memory>

class AlarmMonitor;
class BenchModel;
class MixDriver;
class RampDriver;
class DeviceThread;
class MqttClient;
class MqttPublisher;
class RemoteCommands;

// The MQTT link of one worker: the broker connection, the publisher of the bench and the handler of
// remote commands, set up from MqttSettings. Switched off (the default) it holds no connection and
// costs a reading nothing. What each controller is and holds it reads from the bench model of the
// worker, which its owner keeps told of scans and controllers taken online.
class MqttBridge : public QObject
{
    Q_OBJECT
public:
    // The worker and the model must outlive the bridge.
    MqttBridge(DeviceThread *worker, BenchModel *model, QObject *parent = nullptr);
    ~MqttBridge() override;

    // Connects, reconnects with new connection settings, or goes offline when publishing is off.
    void apply(const MqttSettings &settings);
    // Publishes "offline" as every controller's state, then as the status, and closes the connection.
    void shutdown();
    const MqttSettings &settings() const { return m_settings; }

    void setProgrammeStop(std::function<void()> stop);
    // Ramps and alarms, when the owner has them: both must outlive the bridge.
    void setProcess(RampDriver *ramps, AlarmMonitor *alarms);
    // The mix groups, when the owner has them (it must outlive the bridge): P/mix/G/state is
    // published and P/mix/G/total/set obeyed.
    void setMixes(MixDriver *mixes);

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
