#pragma once

// Small helpers of the recording tests: a file's bytes and a reading read at a given time.

#include "Reading.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace RecordingSamples {

inline QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A reading of controller 1, its last byte read readMs after the monotonic clock's start.
inline Reading readingAt(int type, float value, qint64 readMs)
{
    return Reading::fromDeviceValue(type, 1, value, ReadTime{readMs * 1000000, 0});
}

} // namespace RecordingSamples
