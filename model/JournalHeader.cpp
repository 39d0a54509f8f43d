#include "JournalHeader.h"

#include <QCoreApplication>
#include <QIODevice>

namespace {
const QByteArray Signature = "QUORIX recording journal 1";
const QByteArray DataLine = "data";
// A header is a few hundred bytes; a file whose first lines run longer is no journal.
constexpr qint64 MaxHeaderLine = 16384;
constexpr int MaxHeaderLines = 16;
} // namespace

QByteArray JournalHeader::toText() const
{
    QByteArray types;
    for (bool on : selected)
        types += on ? '1' : '0';
    // A path may hold any character but a line end: percent-encoded, it fits on one line.
    return Signature + "\ndevice " + QByteArray::number(deviceId) + "\nfile " +
           targetFile.toUtf8().toPercentEncoding("/") + "\ntypes " + types + "\nstarted " +
           started.toString(Qt::ISODateWithMs).toLatin1() + '\n' + DataLine + '\n';
}

bool JournalHeader::read(QIODevice &journal, JournalHeader *header, QString *error)
{
    *header = JournalHeader();
    bool signed_ = false, hasFile = false, hasTypes = false;
    for (int n = 0; n < MaxHeaderLines; ++n) {
        const QByteArray raw = journal.readLine(MaxHeaderLine);
        if (!raw.endsWith('\n'))
            break;
        const QByteArray line = raw.chopped(1);
        if (n == 0) {
            signed_ = line == Signature;
            if (!signed_)
                break;
            continue;
        }
        if (line == DataLine) {
            if (hasFile && hasTypes)
                return true;
            break;
        }
        const int space = line.indexOf(' ');
        const QByteArray key = line.left(space);
        const QByteArray value = space < 0 ? QByteArray() : line.mid(space + 1);
        if (key == "device") {
            header->deviceId = value.toInt();
        } else if (key == "file") {
            header->targetFile = QString::fromUtf8(QByteArray::fromPercentEncoding(value));
            hasFile = !header->targetFile.isEmpty();
        } else if (key == "types" && value.size() == TypeCount) {
            for (int k = 0; k < TypeCount; ++k)
                header->selected[k] = value.at(k) == '1';
            hasTypes = true;
        } else if (key == "started") {
            header->started = QDateTime::fromString(QString::fromLatin1(value), Qt::ISODateWithMs);
        }
    }
    *error = signed_ ? QCoreApplication::translate("JournalHeader", "记录文件头不完整")
                     : QCoreApplication::translate("JournalHeader", "不是记录文件");
    return false;
}
