#pragma once

#include "FrameRecord.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <vector>

// The frames of the traffic view, newest last: the newest kKept are kept. Frames arrive in batches
// and are shown once a second: every insertion repaints the view, which costs more than anything
// else the window does. While paused the list stands still and what arrives waits (again the
// newest kKept); it is shown on resuming. Filters show the frames of one controller, or the
// errors, only. A
// frame is turned into text when the view first asks for it.
class TrafficModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kKept = 10000;
    static constexpr int kBatchMs = 1000;

    explicit TrafficModel(QObject *parent = nullptr);

    static QStringList headers();
    static QString outcomeCaption(const FrameRecord &frame);
    static QString directionCaption(FrameRecord::Direction direction);

    void append(const std::vector<FrameRecord> &frames);
    // Shows what arrived since the last batch, unless paused.
    void flush();
    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }
    // 0 shows every controller.
    void setAddressFilter(int address);
    int addressFilter() const { return m_filter; }
    // Only timeouts, unsound answers, refusals and late bytes, sent and received.
    void setErrorsOnly(bool errorsOnly);
    bool errorsOnly() const { return m_errorsOnly; }
    static bool isError(const FrameRecord &frame);
    // Frames are numbered as they come; a row's number finds it again under another filter.
    qint64 numberAt(int row) const;
    // The first row showing that frame or a later one; -1 when none does.
    int rowFrom(qint64 number) const;
    // Frames kept, shown or not (the filter hides some).
    int keptCount() const { return int(m_frames.size()); }

    const FrameRecord &frameAt(int row) const;
    // The frames shown, one line each, as the command-line monitor prints them, dated.
    QStringList lines() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Kept
    {
        FrameRecord frame;
        mutable QStringList texts; // the cells, made when first shown
    };
    bool passes(const FrameRecord &frame) const;
    void refilter();
    void dropOldest();
    const Kept &keptAt(int row) const;

    const QStringList m_captions = headers(); // in the language of the moment the model was made
    std::deque<Kept> m_frames;  // oldest first
    qint64 m_firstNumber = 0;   // the number of m_frames.front(); frames are numbered as they come
    std::deque<qint64> m_shown; // the numbers of the frames shown, one per row
    std::deque<FrameRecord> m_waiting;
    QTimer m_batch;
    bool m_paused = false;
    int m_filter = 0;
    bool m_errorsOnly = false;
};
