#include "DataFileLoader.h"

#include "PlotWidget.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

namespace {
// Work between two looks at the clock: about a millisecond's worth.
constexpr int ReadChunkChars = 32 * 1024;
constexpr int LogChunkLines = 500;
} // namespace

DataFileLoader::DataFileLoader(const QString &fileName, QString text, PlotWidget *target, QWidget *boxParent)
    : QObject(boxParent), m_fileName(fileName), m_text(std::move(text)), m_target(target)
{
    m_waitBox = new QMessageBox(QMessageBox::Information, QStringLiteral("提示"),
                                QStringLiteral("正在打开文件") + fileName + QStringLiteral("请稍后"),
                                QMessageBox::Ok, boxParent);
    m_waitBox->setWindowModality(Qt::NonModal);
    m_waitBox->setAttribute(Qt::WA_DeleteOnClose);
}

DataFileLoader::~DataFileLoader()
{
    if (m_waitBox)
        m_waitBox->close();
}

void DataFileLoader::start()
{
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
            emit finished(m_fileName);
            return;
        }
        // The message log shows each batch of lines in one go when the event loop comes round:
        // a small batch keeps that short.
        if (m_loggedLines > loggedBefore)
            break;
    }
    QTimer::singleShot(0, this, &DataFileLoader::runSlice);
}

// Reads the next piece of the text, cut at a line end; false once all is read.
bool DataFileLoader::readSome()
{
    if (m_readPos >= m_text.size())
        return false;
    int end = m_text.indexOf(QLatin1Char('\n'), qMin(m_readPos + ReadChunkChars, m_text.size() - 1));
    end = end < 0 ? m_text.size() : end + 1;
    DataFile::readLines(QStringView(m_text).mid(m_readPos, end - m_readPos), m_content);
    m_readPos = end;
    if (m_readPos >= m_text.size())
        m_text.clear();
    return true;
}

// The points of types 2 to 4 are logged before they are drawn; false once type 4 is drawn.
bool DataFileLoader::handOverSome()
{
    if (m_type > DataFile::TypeCount)
        return false;
    const QVector<QPointF> &points = m_content.sections[m_type - 1];
    if (m_type > 1 && m_loggedLines < points.size()) {
        const int end = qMin(m_loggedLines + LogChunkLines, points.size());
        for (; m_loggedLines < end; ++m_loggedLines)
            qDebug() << "(" << points[m_loggedLines].x() << "," << points[m_loggedLines].y() << ")";
        return true;
    }
    m_target->plot(m_type)->appendPoints(points);
    ++m_type;
    m_loggedLines = 0;
    return true;
}
