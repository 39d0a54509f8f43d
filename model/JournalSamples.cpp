#include "JournalSamples.h"

#include "DataFile.h"

#include <QIODevice>

#include <charconv>
#include <cstring>

namespace {
constexpr qint64 ReadChunk = 256 * 1024;

bool readsNumber(const char *&first, const char *last, double *number)
{
    const auto result = std::from_chars(first, last, *number);
    if (result.ec != std::errc())
        return false;
    first = result.ptr;
    return true;
}
} // namespace

JournalSamples::JournalSamples(QIODevice *file, QByteArray unwritten)
    : m_file(file), m_unwritten(std::move(unwritten))
{
}

bool JournalSamples::isSample(const char *line, int size)
{
    if (size < 5 || line[0] < '1' || line[0] > '4' || line[1] != ',')
        return false;
    const char *at = line + 2;
    const char *end = line + size;
    double time = 0, value = 0;
    if (!readsNumber(at, end, &time) || at == end || *at++ != ',')
        return false;
    // What the data file's reader would skip is no sample: a damaged line must not reach the file.
    return readsNumber(at, end, &value) && at == end && DataFile::holdsPoint(time, value);
}

bool JournalSamples::forEach(const Visit &visit, QString *error, int type)
{
    m_skipped = 0;
    bool inData = false;
    QByteArray text;
    if (m_file) {
        if (!m_file->seek(0)) {
            *error = m_file->errorString();
            return false;
        }
        QByteArray chunk(int(ReadChunk), Qt::Uninitialized);
        for (qint64 n; (n = m_file->read(chunk.data(), ReadChunk)) != 0;) {
            if (n < 0) {
                *error = m_file->errorString();
                return false;
            }
            text.append(chunk.constData(), int(n));
            readLines(text, inData, type, visit);
        }
    }
    text += m_unwritten;
    readLines(text, inData, type, visit);
    return true;
}

// Takes the whole lines off the front of `text`, leaving a cut last line.
void JournalSamples::readLines(QByteArray &text, bool &inData, int type, const Visit &visit)
{
    const char *const begin = text.constData();
    const char *line = begin;
    const char *const end = begin + text.size();
    for (const char *lineEnd; (lineEnd = static_cast<const char *>(std::memchr(line, '\n', size_t(end - line))));
         line = lineEnd + 1) {
        const int size = int(lineEnd - line);
        if (!inData) {
            inData = size == 4 && std::memcmp(line, "data", 4) == 0;
            continue;
        }
        const int lineType = size > 0 && line[0] >= '1' && line[0] <= '4' ? line[0] - '0' : 0;
        if (type != 0 && lineType != 0 && lineType != type)
            continue; // another type's, looked at in its own pass
        if (isSample(line, size))
            visit(lineType, line + 2, size - 2);
        else
            ++m_skipped;
    }
    text.remove(0, int(line - begin));
}
