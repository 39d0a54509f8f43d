#pragma once

#include "ProcessSettings.h"

#include <QMap>
#include <QObject>

class AlarmMonitor;
class ProcessSettingsWindow;
class RampDriver;
class loginWnd;
class mainWnd;

// The process settings in the application: the file they are kept in, the "过程设置" window with
// the administrator login that a change needs, and the ramp rates they give the ramp driver and
// the stage page.
class ProcessSettingsWiring : public QObject
{
    Q_OBJECT
public:
    ProcessSettingsWiring(mainWnd *window, RampDriver *ramps, AlarmMonitor *alarms, const QString &path);

    ProcessSettingsWindow *window() const { return m_window; }
    loginWnd *login() const { return m_login; }
    const ProcessSettings &settings() const { return m_settings; }
    void open(const QList<quint8> &addresses);

private:
    void askPassword(const ProcessSettings &entered);
    void answerLogin(bool matched);
    void applySettings();

    mainWnd *m_main;
    RampDriver *m_ramps;
    AlarmMonitor *m_alarms;
    QString m_path;
    ProcessSettings m_settings;
    ProcessSettingsWindow *m_window = nullptr;
    loginWnd *m_login = nullptr;
    ProcessSettings m_pending;
    QList<quint8> m_shown;
};
