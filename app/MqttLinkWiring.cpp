#include "MqttLinkWiring.h"

#include "MessageBoxSeam.h"
#include "MqttBridge.h"
#include "MqttSettingsStore.h"
#include "MqttSettingsWindow.h"
#include "loginWnd.h"
#include "stageControlWidget.h"

#include <QDebug>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

MqttLinkWiring::MqttLinkWiring(QMainWindow *window, DeviceThread *worker, BenchModel *model,
                               stageControlWidget *stages, const QString &storeFolder)
    : QObject(window), m_mainWindow(window), m_store(std::make_unique<MqttSettingsStore>(storeFolder)),
      m_bridge(std::make_unique<MqttBridge>(worker, model))
{
    m_window = new MqttSettingsWindow(window);
    m_window->hide();
    m_login = new loginWnd(window, false);
    m_login->hide();
    m_status = new QLabel(m_bridge->connectionText(), window);
    m_status->setObjectName(QStringLiteral("label_mqttStatus"));
    window->statusBar()->addPermanentWidget(m_status);

    connect(m_bridge.get(), &MqttBridge::connectionChanged, m_status, &QLabel::setText);
    connect(m_bridge.get(), &MqttBridge::connectionChanged, m_window, &MqttSettingsWindow::showConnection);
    connect(m_bridge.get(), &MqttBridge::logLine, this, [](const QString &line) { qDebug().noquote() << line; });
    connect(m_window, &MqttSettingsWindow::applied, this, &MqttLinkWiring::applySettings);
    connect(m_window, &MqttSettingsWindow::adminPasswordNeeded, this, [this] {
        m_login->setWindowFlags(Qt::WindowFlags(0x08004001));
        m_login->show();
        m_login->setWindowTitle(tr("请登录"));
    });
    connect(m_login, &loginWnd::requestLogin, this, &MqttLinkWiring::answerLogin);
    m_bridge->setProgrammeStop([stages] { stages->stopAll(); });

    const MqttSettings stored = m_store->load();
    m_window->setSettings(stored, m_store->passwordKept());
    m_bridge->apply(stored);
}

MqttLinkWiring::~MqttLinkWiring()
{
    shutdown();
}

void MqttLinkWiring::shutdown()
{
    m_bridge->shutdown();
}

void MqttLinkWiring::openSettings()
{
    m_window->setSettings(m_bridge->settings(), m_store->passwordKept());
    m_window->setWindowFlags(m_window->windowFlags() | Qt::Window);
    m_window->show();
    m_window->setWindowTitle(tr("MQTT 设置"));
}

void MqttLinkWiring::applySettings(const MqttSettings &settings, bool keepPassword)
{
    QString error;
    if (!m_store->save(settings, keepPassword, &error)) {
        qDebug() << "MQTT设置无法保存：" << error;
        MessageBoxSeam::warning(m_mainWindow, tr("错误提示"), tr("MQTT设置无法保存：%1").arg(error));
    }
    qDebug().noquote() << QStringLiteral("MQTT设置：%1:%2，主题前缀 %3，发布%4，远程设定%5")
                              .arg(settings.host)
                              .arg(settings.port)
                              .arg(settings.prefix)
                              .arg(settings.publish ? QStringLiteral("开") : QStringLiteral("关"))
                              .arg(settings.allowSetpoints ? QStringLiteral("允许") : QStringLiteral("禁止"));
    m_bridge->apply(settings);
}

void MqttLinkWiring::answerLogin(bool matched)
{
    if (!matched) {
        MessageBoxSeam::information(m_mainWindow, tr("提示"), tr("密码错误"));
        return;
    }
    m_login->hide();
    m_login->slot_clearMessage();
    m_window->grantRemoteSetpoints(true);
}
