#pragma once

#include "UnfinishedJournals.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

class QThread;
class QWidget;

// Recordings that never finished (the program killed, the power cut) left their journals behind.
// At start the operator is offered, in one box, to turn each into its data file: the chosen file
// when it is missing or empty, else a file of its own in the data folder. The conversion runs on a
// thread of its own; a second box says where each went.
class RecordingRecovery : public QObject
{
    Q_OBJECT
public:
    using Journal = UnfinishedJournals::Journal;
    using Result = UnfinishedJournals::Result;

    explicit RecordingRecovery(QWidget *boxParent);
    // Waits for a conversion under way.
    ~RecordingRecovery() override;

    static QVector<Journal> findUnfinished(const QString &folder) { return UnfinishedJournals::find(folder); }

    // Offers the unfinished journals of `folder`; does nothing when there are none.
    void offer(const QString &folder);
    // Those turned into data files or not, once finished.
    const QVector<Result> &results() const { return m_results; }

signals:
    // The offer was declined or there was nothing to offer, or the conversion is over and reported.
    void finished();

private:
    void convert(QVector<Journal> journals);
    void report(const QVector<Result> &results);

    QWidget *m_boxParent;
    QThread *m_converter = nullptr;
    QVector<Result> m_results;
};
