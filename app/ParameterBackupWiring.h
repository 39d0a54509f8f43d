#pragma once

#include <QObject>

class ParameterBackupWindow;
class loginWnd;
class mainWnd;

// "参数备份" in the application: the window, the administrator login it asks once per opening, and
// the baud rate of the port, which each backup records.
class ParameterBackupWiring : public QObject
{
    Q_OBJECT
public:
    explicit ParameterBackupWiring(mainWnd *window);

    ParameterBackupWindow *window() const { return m_window; }
    loginWnd *login() const { return m_login; }
    void open(const QList<quint8> &addresses);

private:
    mainWnd *m_main;
    ParameterBackupWindow *m_window = nullptr;
    loginWnd *m_login = nullptr;
};
