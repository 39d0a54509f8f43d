#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

namespace Ui {
class saveFileSetWidget;
}

// The export settings window: which controller, from when, for how long and which readings, and
// the file. The confirm button checks the request and issues sig_savePlotFile.
class saveFileSetWidget : public QWidget
{
    Q_OBJECT

public:
    // The file a controller is already recording into (or waiting to), empty when none.
    using PendingExport = std::function<QString(int deviceId)>;

    explicit saveFileSetWidget(QWidget *parent = nullptr);
    ~saveFileSetWidget() override;

    // The addresses offered for export, in list order (the prompt item excluded).
    QList<quint8> listedDevices() const;
    void setPendingExportLookup(PendingExport lookup) { m_pendingExport = std::move(lookup); }
    // Whether a controller is online now; unset, every one is taken as online.
    using OnlineLookup = std::function<bool(int deviceId)>;
    void setOnlineLookup(OnlineLookup lookup) { m_online = std::move(lookup); }

signals:
    void sig_savePlotFile(int deviceId, QDateTime startTime, int duartion, bool save_cur, bool save_cum,
                          bool save_temp, bool save_press, QString fileName);

public slots:
    // Replaces the offered addresses; item 0, the prompt, stays.
    void updateDeviceList(QList<quint8> devices);

private slots:
    void on_pushButton_clicked();

private:
    bool refusesPendingExport(int deviceId);
    bool refusesOffline(int deviceId);
    bool refusesFileInUse(const QString &fileName);
    bool refusesTimers(const QDateTime &startTime, std::optional<qint64> durationSeconds);
    bool refusesEmptyRecording(bool anyType);
    bool createsEmptyFile(const QString &fileName);

    Ui::saveFileSetWidget *ui;
    PendingExport m_pendingExport;
    OnlineLookup m_online;
};
