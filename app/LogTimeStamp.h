#pragma once

#include <QChar>
#include <QStringView>
#include <QtGlobal>

#include <limits>

// The time at the head of a log line, "MM-dd HH:mm:ss" in local time. Turning a UTC time into local
// time looks at the time zone file each call (a file-system lookup, several microseconds), which a
// data file's hundreds of thousands of debug lines turned into most of a second: so the text is
// made once per UTC second and reused for every line of that second. The clock's own read is cheap.
//
// Trivially destructible, so that each logging thread can keep one in a thread_local that stays
// usable while the thread's other locals are destroyed.
class LogTimeStamp
{
public:
    // Milliseconds since the epoch, UTC.
    using Clock = qint64 (*)();

    // The text for the given moment; valid until the next call.
    QStringView text(qint64 msecsSinceEpoch);
    // How often the text was made afresh.
    int conversions() const { return m_conversions; }

private:
    static constexpr int MaxChars = 16;

    qint64 m_second = std::numeric_limits<qint64>::min();
    QChar m_text[MaxChars] = {};
    int m_length = 0;
    int m_conversions = 0;
};
