#pragma once

#include "DataFile.h"

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class PlotWidget;
class QMessageBox;
class QTextDecoder;

// Draws a data file on a chart page without holding up the GUI thread: the file is read and the
// debug lines written in slices of a few milliseconds between event-loop passes, and each type's
// points reach its chart in one batch, in type order. A waiting box is shown meanwhile; deleting
// the loader stops it and closes the box.
class DataFileLoader : public QObject
{
    Q_OBJECT

public:
    static constexpr int SliceMs = 15;
    // The longest recording a timer allows (596 hours) of all four types at one reading a second
    // writes about 230 MB; anything larger is not ours, and its points would not fit in memory.
    static constexpr qint64 MaxFileBytes = qint64(256) << 20;
    // A longer piece without a line end is not a data line: it is dropped rather than collected.
    static constexpr int MaxLineChars = 4096;
    // Points drawn of one type at most: more than a recording of the longest duration at one reading
    // a second holds. More would take hundreds of megabytes and hold up the GUI while drawn.
    static constexpr int MaxPointsPerType = 1 << 22;

    DataFileLoader(const QString &fileName, PlotWidget *target, QWidget *boxParent);
    ~DataFileLoader() override;

    // False, with the reason, when the file cannot be read or is larger than any recording.
    bool open(QString *error);
    void start();
    // Some type held more than MaxPointsPerType points: only its first ones are drawn.
    bool wasCut() const { return m_cut; }
    // Why the file could not be read to its end; empty when it could.
    QString readError() const { return m_readError; }

signals:
    void finished(QString fileName);

private:
    void runSlice();
    bool readSome();
    void readPendingLines(bool atEnd);
    void cutAtBound();
    bool handOverSome();

    QFile m_file;
    std::unique_ptr<QTextDecoder> m_decoder;
    QString m_pending;         // text read after the last complete line
    bool m_inLongLine = false; // the rest of an over-long line is being dropped
    bool m_cut = false;
    QString m_readError;
    DataFile::Content m_content;
    int m_type = 1;        // the type being handed over
    int m_loggedLines = 0; // of the current type
    QPointer<PlotWidget> m_target;
    QWidget *m_boxParent;
    QPointer<QMessageBox> m_waitBox;
};
