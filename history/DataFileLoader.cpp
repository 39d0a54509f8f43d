#include "DataFileLoader.h"

#include "PlotWidget.h"
#include "PointLog.h"
#include "RegularFile.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTextCodec>
#include <QTimer>

namespace {
// Work between two looks at the clock: about a millisecond's worth.
constexpr int ReadChunkBytes = 32 * 1024;
constexpr int LogChunkLines = 500;
} // namespace

DataFileLoader::DataFileLoader(const QString &fileName, PlotWidget *target, QWidget *boxParent)
    : QObject(boxParent), m_file(fileName), m_target(target), m_boxParent(boxParent)
{
}

DataFileLoader::~DataFileLoader()
{
    if (m_waitBox)
        m_waitBox->close();
}

bool DataFileLoader::open(QString *error)
{
    // A pipe would hold up the GUI thread in the opening, and a device be read without end.
    *error = regularFileProblem(m_file.fileName());
    if (!error->isEmpty())
        return false;
    // Read as bytes: each line is trimmed, which takes a CR before the LF with it.
    if (!m_file.open(QIODevice::ReadOnly)) {
        *error = m_file.errorString();
        return false;
    }
    if (m_file.size() > MaxFileBytes) {
        *error = tr("文件大于%1 MB，不是本软件保存的数据文件").arg(MaxFileBytes >> 20);
        m_file.close();
        return false;
    }
    m_decoder.reset(QTextCodec::codecForName("UTF-8")->makeDecoder());
    return true;
}

void DataFileLoader::start()
{
    m_waitBox =
        new QMessageBox(QMessageBox::Information, tr("提示"),
                        tr("正在打开文件%1请稍后").arg(m_file.fileName()), QMessageBox::Ok, m_boxParent);
    m_waitBox->setWindowModality(Qt::NonModal);
    m_waitBox->setAttribute(Qt::WA_DeleteOnClose);
    m_waitBox->show();
    QTimer::singleShot(0, this, &DataFileLoader::runSlice);
}

void DataFileLoader::runSlice()
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < SliceMs) {
        if (readSome())
            continue;
        const int loggedBefore = m_loggedLines;
        if (!m_target || !handOverSome()) {
            if (m_waitBox)
                m_waitBox->close();
            emit finished(m_file.fileName());
            return;
        }
        // The message log shows each batch of lines in one go when the event loop comes round:
        // a small batch keeps that short.
        if (m_loggedLines > loggedBefore)
            break;
    }
    QTimer::singleShot(0, this, &DataFileLoader::runSlice);
}

// Reads the next piece of the file; false once all is read.
bool DataFileLoader::readSome()
{
    if (!m_file.isOpen())
        return false;
    const QByteArray bytes = m_file.read(ReadChunkBytes);
    if (bytes.isEmpty() && m_file.error() != QFileDevice::NoError)
        m_readError = m_file.errorString(); // not the end: a disk or share that went away
    m_pending += m_decoder->toUnicode(bytes);
    readPendingLines(bytes.isEmpty());
    cutAtBound();
    if (bytes.isEmpty())
        m_file.close();
    return true;
}

// Reads the complete lines collected so far, and at the end the last line without its line end.
void DataFileLoader::readPendingLines(bool atEnd)
{
    if (m_inLongLine) {
        const int lineEnd = m_pending.indexOf(QLatin1Char('\n'));
        m_pending.remove(0, lineEnd < 0 ? m_pending.size() : lineEnd + 1);
        m_inLongLine = lineEnd < 0;
    }
    const int end = atEnd ? m_pending.size() : m_pending.lastIndexOf(QLatin1Char('\n')) + 1;
    DataFile::readLines(QStringView(m_pending).left(end), m_content);
    m_pending.remove(0, end);
    // Binary junk without line ends would otherwise pile up here.
    if (m_pending.size() > MaxLineChars) {
        m_pending.clear();
        m_inLongLine = true;
        ++m_content.skippedLines;
    }
}

void DataFileLoader::cutAtBound()
{
    for (QVector<QPointF> &section : m_content.sections) {
        if (section.size() > MaxPointsPerType) {
            section.resize(MaxPointsPerType);
            m_cut = true;
        }
    }
}

// The points of types 2 to 4 are logged before they are drawn; false once type 4 is drawn.
bool DataFileLoader::handOverSome()
{
    if (m_type > DataFile::TypeCount)
        return false;
    QVector<QPointF> &points = m_content.sections[m_type - 1];
    if (m_type > 1 && m_loggedLines < points.size()) {
        const int end = qMin(m_loggedLines + LogChunkLines, points.size());
        for (; m_loggedLines < end; ++m_loggedLines)
            PointLog::write(points[m_loggedLines]);
        return true;
    }
    m_target->plot(m_type)->appendPoints(points);
    points = {}; // the chart holds them now
    ++m_type;
    m_loggedLines = 0;
    return true;
}
