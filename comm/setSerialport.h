#pragma once

#include <QList>
#include <QSerialPortInfo>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace Ui {
class setSerialport;
}

// Picks the serial port and baud rate and asks the worker to open or close the link; the button's
// caption and colour show what the worker last reported. The port box is editable so that a port
// the system does not list (a udev symlink, a pseudo-terminal) can be typed in.
class setSerialport : public QWidget
{
    Q_OBJECT
public:
    explicit setSerialport(QWidget *parent = nullptr);
    ~setSerialport() override;

    QString lastPort() const { return m_lastPort; }
    // The port names of a listing, in the system's order; the port used last goes first, and ports
    // that opened earlier in this session but are not listed (typed paths) follow the listing.
    void refreshPortNames(const QStringList &names);
    QStringList portsOpenedThisSession() const { return m_openedPorts; }

signals:
    void sig_openSer(int type, QString name, int baudRate);

public slots:
    void slot_refreshSerCombox(QList<QSerialPortInfo> ports);
    void slot_ser_status(int status);
    // The system's reason for the next failed open, given by the worker just before it reports the
    // failure; shown under "串口打开失败" and then forgotten.
    void setOpenFailureReason(const QString &reason);

private slots:
    void on_btn_open_clicked();

private:
    // caption: one of the button's untranslated captions; the button shows its translation.
    void showButton(const char *caption, const QString &style);
    void showFailure();
    void showPortInFull(const QString &name);

    Ui::setSerialport *ui;
    QString m_lastPort;
    QStringList m_openedPorts;
    QString m_openFailureReason;
    bool m_openPending = false; // an open request has not been answered yet
    // The button's caption, untranslated: a click on "打开" opens, any other closes.
    const char *m_caption = nullptr;
};
