#pragma once

#include <QObject>

class AlarmListWindow;
class AlarmMonitor;
class QLabel;
class mainWnd;
struct AlarmRecord;

// The alarms in the application: the red label in the status bar with the newest latched alarm,
// the red mark on each row that has one, a line in the message log for every raise, clearing,
// acknowledgement and zero action, and the "报警记录" window.
class AlarmWiring : public QObject
{
    Q_OBJECT
public:
    AlarmWiring(mainWnd *window, AlarmMonitor *alarms);

    AlarmListWindow *listWindow() const { return m_list; }
    QLabel *statusLabel() const { return m_status; }
    void openList();
    // The rows' marks again, after a scan put other controllers into them.
    void markRows();

private:
    void log(const QString &what, const AlarmRecord &record);
    void refresh();

    mainWnd *m_main;
    AlarmMonitor *m_alarms;
    AlarmListWindow *m_list = nullptr;
    QLabel *m_status = nullptr;
};
