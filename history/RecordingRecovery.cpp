#include "RecordingRecovery.h"

#include "JournalFiles.h"
#include "MessageBoxSeam.h"

#include <QDateTime>
#include <QDebug>
#include <QThread>
#include <QWidget>

#include <mutex>

namespace {
QString describe(const RecordingRecovery::Journal &journal)
{
    const QString device = journal.header.deviceId > 0
                               ? RecordingRecovery::tr("设备%1：").arg(journal.header.deviceId)
                               : QString();
    return device + RecordingRecovery::tr("%1（记录文件%2）").arg(journal.header.targetFile, journal.path);
}
} // namespace

RecordingRecovery::RecordingRecovery(QWidget *boxParent) : QObject(boxParent), m_boxParent(boxParent)
{
}

RecordingRecovery::~RecordingRecovery()
{
    if (m_converter) {
        m_converter->wait();
        delete m_converter;
    }
}

void RecordingRecovery::offer(const QString &folder)
{
    QVector<Journal> journals = findUnfinished(folder);
    if (journals.isEmpty()) {
        emit finished();
        return;
    }
    QString text = tr("上次有%1个记录未正常结束，是否将它们转换为数据文件？").arg(journals.size());
    for (const Journal &journal : journals)
        text += QLatin1Char('\n') + describe(journal);
    if (MessageBoxSeam::question(m_boxParent, tr("提示"), text) != QMessageBox::Yes) {
        qInfo() << "unfinished recordings kept for the next start:" << journals.size();
        emit finished();
        return;
    }
    convert(std::move(journals));
}

void RecordingRecovery::convert(QVector<Journal> journals)
{
    struct Shared
    {
        std::mutex lock;
        QVector<Result> results;
    };
    auto shared = std::make_shared<Shared>();
    m_converter = QThread::create([journals, shared] {
        QVector<Result> results = UnfinishedJournals::convert(journals, QDateTime::currentDateTime());
        const std::lock_guard<std::mutex> hold(shared->lock);
        shared->results = std::move(results);
    });
    connect(m_converter, &QThread::finished, this, [this, shared] {
        m_converter->wait(); // finished is sent just before the thread ends
        m_converter->deleteLater();
        m_converter = nullptr;
        {
            const std::lock_guard<std::mutex> hold(shared->lock);
            m_results = shared->results;
        }
        report(m_results);
        emit finished();
    });
    m_converter->start();
}

void RecordingRecovery::report(const QVector<Result> &results)
{
    QStringList lines;
    for (const Result &result : results) {
        if (result.dataFile.isEmpty()) {
            qWarning() << "unfinished recording not converted:" << result.journal << result.error;
            lines << tr("%1转换失败（%2），记录文件保留").arg(result.journal, result.error);
        } else {
            lines << tr("%1保存成功").arg(result.dataFile);
        }
    }
    MessageBoxSeam::information(m_boxParent, tr("提示"), lines.join(QLatin1Char('\n')));
}
