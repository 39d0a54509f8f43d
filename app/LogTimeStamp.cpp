#include "LogTimeStamp.h"

#include <QDateTime>

#include <algorithm>
#include <type_traits>

static_assert(std::is_trivially_destructible<LogTimeStamp>::value,
              "a thread's time text must stay usable while its thread_locals are destroyed");

QStringView LogTimeStamp::text(qint64 msecsSinceEpoch)
{
    // Seconds rounded down, also before 1970.
    const qint64 second = msecsSinceEpoch >= 0 ? msecsSinceEpoch / 1000 : -((999 - msecsSinceEpoch) / 1000);
    if (second != m_second) {
        const QString made = QDateTime::fromMSecsSinceEpoch(second * 1000, Qt::LocalTime)
                                 .toString(QStringLiteral("MM-dd HH:mm:ss"));
        m_length = qMin(made.size(), MaxChars);
        std::copy(made.constBegin(), made.constBegin() + m_length, m_text);
        m_second = second;
        ++m_conversions;
    }
    return QStringView(m_text, m_length);
}
