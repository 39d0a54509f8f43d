#include "SimFrameReader.h"

#include "SerialPort.h"

namespace {

bool crcFits(const QByteArray &buffer, int offset, int length)
{
    return SerialPort::hasValidCrc(buffer.mid(offset, length));
}

bool isKnownFunction(quint8 function)
{
    return function == 0x03 || function == 0x06 || function == 0x08;
}

} // namespace

SimFrameReader::Match SimFrameReader::matchAt(int offset, int *length) const
{
    const int available = m_buffer.size() - offset;
    if (available < 2)
        return Match::NeedMore;
    const quint8 function = quint8(m_buffer[offset + 1]);
    if (function == 0x03 || function == 0x08) {
        if (available < 8)
            return Match::NeedMore;
        *length = 8;
        return crcFits(m_buffer, offset, 8) ? Match::Frame : Match::Bad;
    }
    if (function == 0x06) {
        if (available < 8)
            return Match::NeedMore;
        if (crcFits(m_buffer, offset, 8)) {
            *length = 8;
            return Match::Frame;
        }
        if (available < 10)
            return Match::NeedMore;
        *length = 10;
        return crcFits(m_buffer, offset, 10) ? Match::Frame : Match::Bad;
    }
    // A function of unknown length ends only with the silence after it.
    return Match::NeedMore;
}

int SimFrameReader::findSoundFrameAfter(int offset, int *length) const
{
    for (int start = offset + 1; start + 8 <= m_buffer.size(); ++start) {
        if (matchAt(start, length) == Match::Frame)
            return start;
    }
    return -1;
}

QList<SimFrameReader::Frame> SimFrameReader::feed(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    QList<Frame> frames;
    while (!m_buffer.isEmpty()) {
        int length = 0;
        if (matchAt(0, &length) == Match::Frame) {
            frames.append({m_buffer.left(length), true});
            m_buffer.remove(0, length);
            continue;
        }
        const int start = findSoundFrameAfter(0, &length);
        if (start < 0)
            break;
        frames.append({m_buffer.left(start), false});
        m_buffer.remove(0, start);
    }
    // A stream of garbage without a pause must not grow without bound.
    if (m_buffer.size() > kMaxFrame) {
        frames.append({m_buffer, false});
        m_buffer.clear();
    }
    return frames;
}

SimFrameReader::Frame SimFrameReader::flushOnSilence()
{
    // Functions of known length were judged as their bytes came in; what is left of them is bad.
    const bool unknownFunction = m_buffer.size() >= 4 && !isKnownFunction(quint8(m_buffer[1]));
    Frame frame{m_buffer, unknownFunction && SerialPort::hasValidCrc(m_buffer)};
    m_buffer.clear();
    return frame;
}
