#pragma once

#include <QByteArray>
#include <QList>

// The 16-bit field of a frame that starts at byte i, high byte first as on the wire.
inline quint16 bigEndian16(const QByteArray &frame, int i)
{
    return quint16(quint8(frame[i]) << 8 | quint8(frame[i + 1]));
}

// Delimits request frames in the byte stream a controller hears, as a device does: a frame is
// taken as soon as its bytes are in and its CRC is right (the function code tells the length; for
// 0x06 the CRC decides between the 8-byte 16-bit write and the 10-byte float write). Bytes that
// make no sound frame stay buffered until a silence on the line, which ends them as one rejected
// frame. Holds no clock: the caller reports the silence.
class SimFrameReader
{
public:
    struct Frame
    {
        QByteArray bytes;
        bool sound = false; // whole, with a correct CRC, of a function whose length is known
    };

    // Takes the bytes just received and returns every frame they complete, in order. Garbage in
    // front of a sound frame comes out as a rejected frame of its own.
    QList<Frame> feed(const QByteArray &bytes);
    // The line fell silent: whatever is buffered is one frame. It is sound when its CRC is right
    // (a function of unknown length), else rejected. Returns an empty frame when nothing is buffered.
    Frame flushOnSilence();
    bool hasPending() const { return !m_buffer.isEmpty(); }

    static constexpr int kMaxFrame = 256; // an RTU frame is never longer

private:
    enum class Match
    {
        Frame,
        NeedMore,
        Bad
    };
    Match matchAt(int offset, int *length) const;
    int findSoundFrameAfter(int offset, int *length) const;

    QByteArray m_buffer;
};
