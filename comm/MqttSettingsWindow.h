#pragma once

#include "MqttSettings.h"

#include <QWidget>
#include <memory>

namespace Ui {
class MqttSettingsWindow;
}

// "MQTT 设置": broker, credentials, CA file, topic prefix, "启用发布" and "允许远程设定", and the
// link's state. Ticking "允许远程设定" asks for the administrator password first
// (adminPasswordNeeded); the box is ticked only when grantRemoteSetpoints(true) answers. "确定"
// hands the settings over (applied); "取消" returns to those last handed over.
class MqttSettingsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit MqttSettingsWindow(QWidget *parent = nullptr);
    ~MqttSettingsWindow() override;

    void setSettings(const MqttSettings &settings, bool keepPassword);
    MqttSettings settings() const;
    bool keepPassword() const;

public slots:
    void grantRemoteSetpoints(bool granted);
    void showConnection(const QString &text);

signals:
    void adminPasswordNeeded();
    void applied(MqttSettings settings, bool keepPassword);

private:
    void onRemoteClicked(bool checked);
    void chooseCaFile();
    void accept();
    void cancel();

    std::unique_ptr<Ui::MqttSettingsWindow> ui;
    MqttSettings m_applied;
    bool m_appliedKeepPassword = false;
};
