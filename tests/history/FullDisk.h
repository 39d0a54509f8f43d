#pragma once

// A disk that fills up, for the journals of recordings: install DiskJournals and every journal
// made meanwhile is written onto its Disk.

#include "JournalWriter.h"

#include <QFile>

#include <atomic>
#include <limits>
#include <memory>

// A disk with a given room: writes beyond it are cut short, as the system cuts them, and the next
// one is refused with the system's own answer for a full disk (a write to /dev/full).
struct Disk
{
    static constexpr qint64 Unlimited = std::numeric_limits<qint64>::max() / 2;
    std::atomic<qint64> room{Unlimited};
    std::atomic<int> refusals{0};
};

class DiskFile : public QFile
{
public:
    DiskFile(const QString &path, std::shared_ptr<Disk> disk) : QFile(path), m_disk(std::move(disk)) {}

protected:
    qint64 writeData(const char *data, qint64 size) override
    {
        const qint64 room = m_disk->room.load();
        if (room <= 0) {
            ++m_disk->refusals;
            QFile full(QStringLiteral("/dev/full"));
            if (full.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
                full.write(data, size);
            setErrorString(full.errorString());
            return -1;
        }
        const qint64 written = QFile::writeData(data, qMin(size, room));
        if (written > 0)
            m_disk->room -= written;
        return written;
    }

private:
    std::shared_ptr<Disk> m_disk;
};

// Journals made through here land on the disk.
struct DiskJournals
{
    std::shared_ptr<Disk> disk = std::make_shared<Disk>();
    DiskJournals()
    {
        JournalWriter::setFileFactory([disk = disk](const QString &path) -> std::unique_ptr<QFile> {
            return std::make_unique<DiskFile>(path, disk);
        });
    }
    ~DiskJournals() { JournalWriter::resetFileFactory(); }
};
