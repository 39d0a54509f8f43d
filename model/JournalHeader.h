#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>

class QIODevice;

// What a recording journal says about its recording before its samples: the controller, the file
// the operator chose, the types to save and when it started. A journal is this header, then one line
// "type,time,value" per sample as it arrived, times and values as the data file writes them.
struct JournalHeader
{
    static constexpr int TypeCount = 4;

    int deviceId = 0; // 0: a page of no controller
    QString targetFile;
    std::array<bool, TypeCount> selected{};
    QDateTime started;

    QByteArray toText() const;
    // Reads the header from the start of `journal`, leaving the device at the first sample line.
    // False, with the reason, when the file holds no whole header of this kind.
    static bool read(QIODevice &journal, JournalHeader *header, QString *error);
};
