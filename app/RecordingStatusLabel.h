#pragma once

#include <QDateTime>
#include <QLabel>
#include <QMap>
#include <QString>
#include <QTimer>

class PlotWidget;

// The status bar's word on recordings: every recording that waits for its start or runs, as
// "等待记录：设备N → 文件（hh:mm 开始）" or "记录中：设备N → 文件（剩余 hh:mm:ss）", joined by "；".
// Hidden while there is none. Follows the chart pages' signals; the countdown is redrawn every
// second from the end time a page announced.
class RecordingStatusLabel : public QLabel
{
    Q_OBJECT
public:
    explicit RecordingStatusLabel(QWidget *parent = nullptr);

    // Shows the recordings of the chart page of this controller.
    void follow(int deviceId, PlotWidget *page);

    // "设备N → 文件（hh:mm 开始）": how a waiting recording is named here and in the exit notices.
    static QString describeWaiting(int deviceId, const QString &fileName, const QDateTime &start);
    // Recordings named in a row, as here: "…；…".
    static QString joined(const QStringList &parts);

    void showWaiting(int deviceId, const QString &fileName, const QDateTime &start);
    void showRecording(int deviceId, const QString &fileName, const QDateTime &end);
    void showOver(int deviceId);

private:
    struct Entry
    {
        bool recording = false;
        QString fileName;
        QDateTime time; // the start while waiting, the end while recording
    };
    void redraw();
    QString describe(int deviceId, const Entry &entry) const;

    QMap<int, Entry> m_entries; // by controller address, so that the text lists them in order
    QTimer m_countdown;
};
