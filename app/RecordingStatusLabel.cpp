#include "RecordingStatusLabel.h"

#include "PlotWidget.h"

#include <QFileInfo>
#include <QStringList>

namespace {

QString shortName(const QString &fileName)
{
    return QFileInfo(fileName).fileName();
}

// Whole seconds left, rounded up, so that the countdown reaches 00:00:00 when the recording ends.
QString remaining(const QDateTime &now, const QDateTime &end)
{
    const qint64 seconds = qMax<qint64>(0, (now.msecsTo(end) + 999) / 1000);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

RecordingStatusLabel::RecordingStatusLabel(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("label_recording"));
    m_countdown.setInterval(1000);
    connect(&m_countdown, &QTimer::timeout, this, &RecordingStatusLabel::redraw);
    hide();
}

void RecordingStatusLabel::follow(int deviceId, PlotWidget *page)
{
    connect(page, &PlotWidget::recordingScheduled, this,
            [this, deviceId](QString fileName, QDateTime start) { showWaiting(deviceId, fileName, start); });
    connect(page, &PlotWidget::recordingStarted, this,
            [this, deviceId](QString fileName, QDateTime end) { showRecording(deviceId, fileName, end); });
    connect(page, &PlotWidget::recordingOver, this, [this, deviceId] { showOver(deviceId); });
}

QString RecordingStatusLabel::describeWaiting(int deviceId, const QString &fileName, const QDateTime &start)
{
    return tr("设备%1 → %2（%3 开始）")
        .arg(QString::number(deviceId), shortName(fileName), start.toString(QStringLiteral("hh:mm")));
}

QString RecordingStatusLabel::joined(const QStringList &parts)
{
    return parts.join(tr("；", "between the recordings of a list"));
}

void RecordingStatusLabel::showWaiting(int deviceId, const QString &fileName, const QDateTime &start)
{
    m_entries[deviceId] = Entry{false, fileName, start};
    redraw();
}

void RecordingStatusLabel::showRecording(int deviceId, const QString &fileName, const QDateTime &end)
{
    m_entries[deviceId] = Entry{true, fileName, end};
    redraw();
}

void RecordingStatusLabel::showOver(int deviceId)
{
    m_entries.remove(deviceId);
    redraw();
}

QString RecordingStatusLabel::describe(int deviceId, const Entry &entry) const
{
    if (!entry.recording)
        return tr("等待记录：%1").arg(describeWaiting(deviceId, entry.fileName, entry.time));
    return tr("记录中：设备%1 → %2（剩余 %3）")
        .arg(QString::number(deviceId), shortName(entry.fileName),
             remaining(QDateTime::currentDateTime(), entry.time));
}

void RecordingStatusLabel::redraw()
{
    QStringList parts;
    bool counting = false;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        parts << describe(it.key(), it.value());
        counting |= it.value().recording;
    }
    setText(joined(parts));
    setVisible(!parts.isEmpty());
    if (counting && !m_countdown.isActive())
        m_countdown.start();
    else if (!counting)
        m_countdown.stop();
}
