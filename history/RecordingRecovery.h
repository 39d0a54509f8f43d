#pragma once

#include "JournalHeader.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

class QLockFile;
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
    struct Journal
    {
        QString path;
        JournalHeader header;
        std::shared_ptr<QLockFile> lock; // held while this process deals with the journal
    };
    struct Result
    {
        QString journal;
        QString dataFile; // where its samples went; empty when they could not be saved
        QString error;
    };

    explicit RecordingRecovery(QWidget *boxParent);
    // Waits for a conversion under way.
    ~RecordingRecovery() override;

    // The journals in `folder` whose writer is gone, each locked for the caller. A journal being
    // written, by this process or another, is not among them; nor is a file with no whole header.
    static QVector<Journal> findUnfinished(const QString &folder);

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
