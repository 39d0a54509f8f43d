#include "ProcessSettingsWiring.h"

#include "AlarmMonitor.h"
#include "MessageBoxSeam.h"
#include "ProcessSettingsWindow.h"
#include "RampDriver.h"
#include "loginWnd.h"
#include "mainWnd.h"
#include "stageControlWidget.h"

#include <QDebug>

ProcessSettingsWiring::ProcessSettingsWiring(mainWnd *window, RampDriver *ramps, AlarmMonitor *alarms,
                                             const QString &path)
    : QObject(window), m_main(window), m_ramps(ramps), m_alarms(alarms), m_path(path)
{
    m_window = new ProcessSettingsWindow(window);
    m_window->hide();
    m_login = new loginWnd(window, false);
    m_login->setObjectName(QStringLiteral("processLogin"));
    m_login->hide();
    connect(m_window, &ProcessSettingsWindow::saveRequested, this, &ProcessSettingsWiring::askPassword);
    connect(m_login, &loginWnd::requestLogin, this, &ProcessSettingsWiring::answerLogin);
    QString error;
    if (!m_settings.load(m_path, &error))
        qDebug().noquote() << QStringLiteral("过程设置无法读取：") + error;
    applySettings();
}

void ProcessSettingsWiring::open(const QList<quint8> &addresses)
{
    m_shown = addresses;
    m_window->showSettings(addresses, m_settings, m_path);
    m_window->setWindowFlags(m_window->windowFlags() | Qt::Window);
    m_window->show();
    m_window->setWindowTitle(tr("过程设置"));
    m_window->raise();
}

void ProcessSettingsWiring::askPassword(const ProcessSettings &entered)
{
    m_pending = entered;
    m_login->setWindowFlags(Qt::WindowFlags(0x08004001));
    m_login->show();
    m_login->setWindowTitle(tr("请登录"));
}

void ProcessSettingsWiring::answerLogin(bool matched)
{
    if (!matched) {
        MessageBoxSeam::information(m_main, tr("提示"), tr("密码错误"));
        return;
    }
    m_login->hide();
    m_login->slot_clearMessage();
    QString error;
    if (!m_pending.save(m_path, &error)) {
        MessageBoxSeam::warning(m_window, tr("错误提示"), tr("过程设置无法保存：%1").arg(error));
        return;
    }
    m_settings = m_pending;
    qDebug().noquote() << QStringLiteral("过程设置已保存到") << m_path;
    applySettings();
    m_window->showSettings(m_shown, m_settings, m_path);
    MessageBoxSeam::information(m_window, tr("提示"), tr("过程设置已保存"));
}

void ProcessSettingsWiring::applySettings()
{
    for (quint8 address : m_settings.addresses()) {
        m_ramps->setRate(address, m_settings.rampRate(address));
        m_alarms->setSettings(address, m_settings.alarms(address));
    }
    m_main->stagePage()->refreshRampRates();
}
