#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

// The samples of a journal, read back in the order they arrived: the journal's file from its start,
// then the lines that never reached it. Header lines up to "data" are passed over. A line cut short
// (a crash in the middle of a write) ends the samples; a line that is no sample is skipped.
class JournalSamples
{
public:
    // record: "time,value" exactly as the data file writes it, without its line end.
    using Visit = std::function<void(int type, const char *record, int size)>;

    // `file` may be null: nothing reached a file.
    JournalSamples(QIODevice *file, QByteArray unwritten);

    // Visits every whole sample, from the start each time, or those of one type (1..4; 0 for all).
    // False, with the reason, when the file could not be read.
    bool forEach(const Visit &visit, QString *error, int type = 0);
    int skippedLines() const { return m_skipped; }

    // A sample line: a type 1..4, a comma, then a time and a value separated by a comma, as the data
    // file's reader takes them back (a finite time, a value a float holds).
    static bool isSample(const char *line, int size);

private:
    void readLines(QByteArray &text, bool &inData, int type, const Visit &visit);

    QIODevice *m_file;
    QByteArray m_unwritten;
    int m_skipped = 0;
};
