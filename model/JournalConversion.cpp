#include "JournalConversion.h"

#include "JournalHeader.h"
#include "JournalSamples.h"
#include "JournalWriter.h"

#include <QFile>
#include <QFileInfo>

#include <charconv>
#include <cstring>

namespace JournalConversion {

namespace {
constexpr int OutputChunk = 256 * 1024;
const char *const PointPrefixes[] = {"111Point:", "222Point:", "333Point:", "444Point:"};

// Collects output and hands it on in large pieces.
class Output
{
public:
    using Sink = std::function<bool(const QByteArray &text)>;
    explicit Output(Sink sink) : m_sink(std::move(sink)) { m_text.reserve(OutputChunk + 1024); }
    void append(const char *data, int size)
    {
        m_text.append(data, size);
        if (m_text.size() >= OutputChunk)
            flush();
    }
    bool flush()
    {
        m_ok = m_ok && (m_text.isEmpty() || m_sink(m_text));
        m_text.clear();
        return m_ok;
    }
    bool ok() const { return m_ok; }

private:
    Sink m_sink;
    QByteArray m_text;
    bool m_ok = true;
};

double valueOf(const char *record, int size)
{
    const char *comma = static_cast<const char *>(std::memchr(record, ',', size_t(size)));
    double value = 0;
    std::from_chars(comma + 1, record + size, value);
    return double(float(value)); // the reading was a float
}
} // namespace

// One point line: the value after its type's prefix, six significant digits.
void appendPoint(Output &points, int type, const char *record, int size)
{
    char line[64];
    const size_t prefixSize = std::strlen(PointPrefixes[type - 1]);
    std::memcpy(line, PointPrefixes[type - 1], prefixSize);
    char *end = std::to_chars(line + prefixSize, line + sizeof line - 1, valueOf(record, size),
                              std::chars_format::general, 6)
                    .ptr;
    *end++ = '\n';
    points.append(line, int(end - line));
}

bool writeDataFile(JournalSamples &samples, const Selected &selected, QFileDevice &file, QString *error,
                   std::FILE *points)
{
    Output output([&](const QByteArray &text) {
        return RecordingFile::writeAll(file, text.constData(), text.size(), error);
    });
    Output printed([points](const QByteArray &text) {
        return std::fwrite(text.constData(), 1, size_t(text.size()), points) == size_t(text.size());
    });
    for (int type = 1; type <= 4 && output.ok(); ++type) {
        if (!selected[type - 1] && !points)
            continue;
        if (selected[type - 1]) {
            const char section[] = {'t', 'y', 'p', 'e', char('0' + type), '\n'};
            output.append(section, sizeof section);
        }
        const bool read = samples.forEach(
            [&](int, const char *record, int size) {
                if (points)
                    appendPoint(printed, type, record, size);
                if (selected[type - 1]) {
                    output.append(record, size);
                    output.append("\n", 1);
                }
            },
            error, type);
        if (!read)
            return false;
    }
    if (points) {
        printed.flush();
        std::fflush(points);
    }
    return output.flush();
}

RecordingFile::Outcome saveFinished(JournalWriter &journal, const Selected &selected, const QString &target,
                                    const QString &fallback)
{
    JournalSamples samples(journal.file(), journal.unwritten());
    bool printed = false; // by the first file written, not again by the fallback
    RecordingFile::Outcome outcome =
        RecordingFile::saveOrFallBack(target, fallback, [&](QFileDevice &file, QString *error) {
            const bool written = writeDataFile(samples, selected, file, error, printed ? nullptr : stdout);
            printed = true;
            return written;
        });
    if (outcome.error.isEmpty() || outcome.fallbackError.isEmpty())
        journal.remove();
    else
        outcome.keptJournal = journal.path();
    return outcome;
}

RecordingFile::Outcome recover(const QString &journalPath, const QDateTime &now, QString *saved)
{
    RecordingFile::Outcome outcome;
    QFile journal(journalPath);
    JournalHeader header;
    if (!journal.open(QIODevice::ReadOnly)) {
        outcome.error = journal.errorString();
        return outcome;
    }
    if (!JournalHeader::read(journal, &header, &outcome.error))
        return outcome;
    const QFileInfo chosen(header.targetFile);
    const bool chosenFree = !chosen.exists() || (chosen.isFile() && chosen.size() == 0);
    const QString fallback = RecordingFile::fallbackPath(header.targetFile, now);
    JournalSamples samples(&journal, QByteArray());
    const auto produce = [&](QFileDevice &file, QString *error) {
        return writeDataFile(samples, header.selected, file, error);
    };
    if (chosenFree) {
        outcome = RecordingFile::saveOrFallBack(header.targetFile, fallback, produce);
        *saved = outcome.error.isEmpty() ? header.targetFile : fallback;
    } else if (RecordingFile::save(fallback, produce, &outcome.error)) {
        *saved = fallback;
    }
    const bool savedSomewhere = outcome.error.isEmpty() || (!outcome.fallback.isEmpty() && outcome.fallbackError.isEmpty());
    if (savedSomewhere) {
        journal.close();
        QFile::remove(journalPath);
    } else {
        saved->clear();
    }
    return outcome;
}

} // namespace JournalConversion
