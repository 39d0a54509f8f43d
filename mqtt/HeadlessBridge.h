#pragma once

#include "MqttSettings.h"
#include "ScanReply.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <memory>

class BenchModel;
class AlarmMonitor;
class AuditTrail;
class DeviceThread;
class MixDriver;
class RampDriver;
class MqttBridge;
class QTextStream;

// The bridge without a desktop: opens the port, scans, takes every controller found online, polls
// them with the worker and publishes through the MQTT link; a bench model of its own is told what
// it scans and takes online, as the main window tells the application's. A controller the polling drops is
// taken online again after RetakeMs; after a lost adapter comes back, all of them at once.
// finished(code) ends it: 0 after stop(), 1 when no controller answered the scan, 2 when the port
// could not be opened. With a settings file its mix groups are defined (stopped until a remote total
// starts one); stop() first sets the members of the running groups to 0.
class HeadlessBridge : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QString port;
        int baud = 9600;
        int replyTimeoutMs = 500;
        int periodMs = 1000;
        MqttSettings mqtt;
        // Ramp rates, alarms and mix groups (the window's process settings file); none: no ramps,
        // no alarms, no mixes.
        QString settingsFile;
    };
    static constexpr int RetakeMs = 30000;
    // Time the members of running mix groups have to confirm their 0 at the end.
    static constexpr int MixStopBudgetMs = 5000;

    HeadlessBridge(const Options &options, QTextStream &logStream, QObject *parent = nullptr);
    ~HeadlessBridge() override;

    void start();
    // Publishes "offline", closes the connection and the port; finished(0) follows.
    void stop();
    MqttBridge &bridge() { return *m_bridge; }
    BenchModel &model() { return *m_model; }
    // Reads the settings file of the options; false with the reason when it cannot be used.
    bool loadProcessSettings(QString *error);
    // One line on the log stream after the time; a failure (BridgeLog::failure) as an error line.
    void log(const QString &line);

signals:
    void finished(int code);

private:
    void onPortStatus(int status);
    void onScanned(const ScanResult &result);
    void takeOnline(quint8 deviceId, int how);
    void onDropped(int deviceId, bool connected);
    void end(int code);
    void logError(const QString &line);

    Options m_options;
    QTextStream &m_log;
    std::unique_ptr<DeviceThread> m_worker;
    std::unique_ptr<BenchModel> m_model;
    std::unique_ptr<MqttBridge> m_bridge;
    // The remote commands it carries out, in the same trail as the application's.
    std::unique_ptr<AuditTrail> m_audit;
    std::unique_ptr<RampDriver> m_ramps;
    std::unique_ptr<AlarmMonitor> m_alarms;
    std::unique_ptr<MixDriver> m_mixes;
    bool m_stopping = false;
    QString m_openFailure;
    bool m_scanned = false;
    bool m_ended = false;
};
