#include "ParameterBackupWiring.h"

#include "MessageBoxSeam.h"
#include "ParameterBackupWindow.h"
#include "loginWnd.h"
#include "mainWnd.h"
#include "setSerialport.h"

ParameterBackupWiring::ParameterBackupWiring(mainWnd *window) : QObject(window), m_main(window)
{
    m_window = new ParameterBackupWindow(window->worker(), window->benchModel(), window);
    m_window->hide();
    m_login = new loginWnd(window, false);
    m_login->setObjectName(QStringLiteral("backupLogin"));
    m_login->hide();
    connect(m_window, &ParameterBackupWindow::passwordNeeded, this, [this] {
        m_login->slot_clearMessage();
        m_login->setWindowFlags(Qt::WindowFlags(0x08004001));
        m_login->show();
        m_login->setWindowTitle(tr("管理员登录（参数备份）"));
        m_login->raise();
    });
    connect(m_login, &loginWnd::requestLogin, this, [this](bool matched) {
        if (!matched) {
            MessageBoxSeam::information(m_main, tr("提示"), tr("密码错误"));
            return;
        }
        m_login->hide();
        m_login->slot_clearMessage();
        m_window->unlock();
    });
    connect(window->serialWnd, &setSerialport::sig_openSer, m_window,
            [this](int, const QString &, int baud) { m_window->setBaudRate(baud); });
}

void ParameterBackupWiring::open(const QList<quint8> &addresses)
{
    m_window->setWindowFlags(m_window->windowFlags() | Qt::Window);
    m_window->show();
    m_window->setWindowTitle(tr("参数备份"));
    m_window->raise();
    m_window->open(addresses);
}
