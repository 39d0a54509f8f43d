#pragma once

#include "ParameterBackup.h"

#include <QSet>
#include <QTimer>
#include <QWidget>
#include <functional>

class BenchModel;
class DeviceThread;
namespace Ui {
class ParameterBackupWindow;
}

// "参数备份": backs up one controller's settings to a file, compares a backup with a controller, two
// controllers or two files, and writes the ticked rows of side A onto the controller read as side B
// (a clone when A came from another address). Reads and writes go through the worker's parameter
// requests; whether the controller may be changed is the bench model's to say.
class ParameterBackupWindow : public QWidget
{
    Q_OBJECT
public:
    ParameterBackupWindow(DeviceThread *worker, BenchModel *model, QWidget *parent = nullptr);
    ~ParameterBackupWindow() override;

    // A new opening: the controllers to offer; the administrator parameters stay locked until
    // unlock() is called.
    void open(const QList<quint8> &addresses);
    void unlock();
    // The baud rate the port was opened with, recorded in a backup.
    void setBaudRate(int baud) { m_baud = baud; }
    bool administrator() const { return m_administrator; }

    // The rows shown, for the restore and for tests: parameter name → ticked.
    QMap<QString, bool> ticks() const;

signals:
    // The window was opened: the wiring asks the administrator password once.
    void passwordNeeded();
    // The ticked rows of side A are to be written onto `address` (from another address: a clone),
    // or, with `refused`, may not be and nothing is written.
    void restoreAsked(quint8 address, int fromAddress, QVector<ParameterBackup::Row> rows, QString refused);
    // The rows named were read back as written; the others failed (`error`: why the read-back failed).
    void restoreEnded(quint8 address, QStringList verified, QStringList failed, QString error);

private:
    struct Side
    {
        ParameterBackup::Backup backup;
        QString label;
        bool live = false; // read from the controller just now
    };
    using ReadDone = std::function<void(std::optional<ParameterBackup::Backup>, QString error)>;

    void readController(quint8 address, ReadDone done);
    void takeReply(const RegisterReply &reply, bool administratorRead);
    void finishRead(bool timedOut);
    void takeOutcome(bool success, int type, bool administratorWrite);
    void finishWrites();

    void backupToFile();
    void compareFileWithController();
    void compareControllers();
    void compareFiles();
    void restore();
    QString restoreRefusal(quint8 address) const;
    std::optional<ParameterBackup::Backup> loadFile(const QString &caption);
    void showComparison(const Side &left, const Side &right);
    void foldEqualRows();
    void setBusy(bool busy, const QString &status = QString());
    std::optional<quint8> chosen(const QWidget *combo) const;

    Ui::ParameterBackupWindow *ui;
    DeviceThread *m_worker;
    BenchModel *m_model;
    bool m_administrator = false;
    int m_baud = 0;

    struct Reading
    {
        quint8 address = 0;
        int expected = 0;
        ParameterBackup::Backup backup;
        ReadDone done;
    };
    std::optional<Reading> m_reading;
    QTimer m_deadline;

    Side m_left;
    Side m_right;
    QVector<ParameterBackup::Row> m_rows;

    struct Restoring
    {
        quint8 address = 0;
        QVector<ParameterBackup::Row> rows;
        QSet<QString> written;
        QSet<QString> awaiting;
    };
    std::optional<Restoring> m_restoring;
};
