#pragma once

#include <QObject>
#include <QString>
#include <memory>

class BenchModel;
class DeviceThread;
class MqttBridge;
class MqttSettingsStore;
class MqttSettingsWindow;
class QLabel;
class QMainWindow;
class loginWnd;
class stageControlWidget;
struct MqttSettings;

// The MQTT link in the application: the bridge of the worker, the "MQTT 设置" window with the
// administrator login that turns remote setpoints on, the connection state in the status bar and
// the link's lines in the message log. The settings of the last session come back at start (remote
// setpoints excepted); the link reads the bench model, and its stop ends the stage page's running
// programmes.
class MqttLinkWiring : public QObject
{
    Q_OBJECT
public:
    MqttLinkWiring(QMainWindow *window, DeviceThread *worker, BenchModel *model, stageControlWidget *stages,
                   const QString &storeFolder);
    ~MqttLinkWiring() override;

    MqttSettingsWindow *settingsWindow() const { return m_window; }
    loginWnd *login() const { return m_login; }
    MqttBridge &bridge() { return *m_bridge; }
    QLabel *statusLabel() const { return m_status; }

    // Shows the window with the settings in force.
    void openSettings();
    // Publishes "offline" and closes the connection.
    void shutdown();

private:
    void applySettings(const MqttSettings &settings, bool keepPassword);
    void answerLogin(bool matched);

    QMainWindow *m_mainWindow;
    std::unique_ptr<MqttSettingsStore> m_store;
    std::unique_ptr<MqttBridge> m_bridge;
    MqttSettingsWindow *m_window = nullptr;
    loginWnd *m_login = nullptr;
    QLabel *m_status = nullptr;
};
