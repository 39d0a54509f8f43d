#pragma once

#include "FrameRecord.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QTimer>
#include <deque>

// The frames of the traffic view, newest last: the newest kKept are kept. Frames arrive one by one
// and are shown in batches, a few times a second, so that a busy bus costs the view one insertion
// per batch. While paused the list stands still and what arrives waits (again the newest kKept);
// it is shown on resuming. A filter shows the frames of one controller only. Nothing is turned into
// text until the view asks for a row it shows.
class TrafficModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kKept = 10000;
    static constexpr int kBatchMs = 250;

    explicit TrafficModel(QObject *parent = nullptr);

    static QStringList headers();
    static QString outcomeCaption(const FrameRecord &frame);

    void append(const FrameRecord &frame);
    // Shows what arrived since the last batch, unless paused.
    void flush();
    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }
    // 0 shows every controller.
    void setAddressFilter(int address);
    int addressFilter() const { return m_filter; }
    // Frames kept, shown or not (the filter hides some).
    int keptCount() const { return int(m_frames.size()); }

    const FrameRecord &frameAt(int row) const;
    // The frames shown, one line each, as the command-line monitor prints them.
    QStringList lines() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    bool passes(const FrameRecord &frame) const;
    void dropOldest();

    std::deque<FrameRecord> m_frames; // kept, oldest first
    qint64 m_firstNumber = 0;         // the number of m_frames.front(); frames are numbered as they come
    std::deque<qint64> m_shown;       // the numbers of the frames shown, one per row
    std::deque<FrameRecord> m_waiting;
    QTimer m_batch;
    bool m_paused = false;
    int m_filter = 0;
};
