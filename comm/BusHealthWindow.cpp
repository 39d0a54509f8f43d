#include "BusHealthWindow.h"
#include "ui_BusHealthWindow.h"

#include "BusSummary.h"
#include "DataDirectory.h"
#include "DeviceThread.h"
#include "FileDialogSeam.h"
#include "HealthTableModel.h"
#include "MessageBoxSeam.h"
#include "PlainTextDelegate.h"
#include "RegularFile.h"
#include "TrafficModel.h"

#include <QDateTime>
#include <QDir>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QSaveFile>
#include <QScrollBar>

BusHealthWindow::BusHealthWindow(QWidget *parent)
    : QWidget(parent), ui(new Ui::BusHealthWindow), m_health(new HealthTableModel(this)),
      m_traffic(new TrafficModel(this))
{
    ui->setupUi(this);
    setUpTables();
    m_refresh.setParent(this); // its events count as the window's
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &BusHealthWindow::refresh);
    followNewestFrames();
}

BusHealthWindow::~BusHealthWindow()
{
    if (m_worker)
        m_worker->setFrameTap(false);
    delete ui;
}

namespace {

// Columns as wide as their widest text, measured once: a table that measured its contents would
// lay itself out again at every refresh. The last column takes what is left.
void sizeColumns(QTableView *table, const QStringList &widestTexts)
{
    QHeaderView *columns = table->horizontalHeader();
    const QFontMetrics metrics = columns->fontMetrics();
    for (int column = 0; column < widestTexts.size(); ++column)
        columns->resizeSection(column, metrics.horizontalAdvance(widestTexts[column]) + 16);
    columns->setStretchLastSection(true);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(metrics.height() + 8);
}

// Of texts shown in one column, the one that needs the most room.
QString widest(const QStringList &texts, const QFontMetrics &metrics)
{
    QString widestText;
    for (const QString &text : texts) {
        if (metrics.horizontalAdvance(text) > metrics.horizontalAdvance(widestText))
            widestText = text;
    }
    return widestText;
}

} // namespace

void BusHealthWindow::setUpTables()
{
    auto *plainText = new PlainTextDelegate(this);
    ui->table_health->setModel(m_health);
    ui->table_health->setItemDelegate(plainText);
    const QFontMetrics metrics = ui->table_health->horizontalHeader()->fontMetrics();
    QStringList healthWidths = HealthTableModel::headers();
    healthWidths[1] = widest({healthWidths[1], HealthTableModel::stateText(BusHealth::State::Online),
                              HealthTableModel::stateText(BusHealth::State::Dropped),
                              HealthTableModel::stateText(BusHealth::State::Offline)},
                             metrics);
    healthWidths.last() = QStringLiteral("00:00:00");
    sizeColumns(ui->table_health, healthWidths);
    ui->table_traffic->setModel(m_traffic);
    ui->table_traffic->setItemDelegate(plainText);
    const QStringList traffic = TrafficModel::headers();
    const QString direction =
        widest({traffic[1], TrafficModel::directionCaption(FrameRecord::Direction::Sent),
                TrafficModel::directionCaption(FrameRecord::Direction::Received)},
               metrics);
    sizeColumns(ui->table_traffic, {QStringLiteral("00:00:00.000"), direction, traffic[2], traffic[3],
                                    QStringLiteral("00 00 00 00 00 00 00 00 00 00 00 00 00")});
}

// The list follows the newest frames unless the operator scrolled up to read older ones.
void BusHealthWindow::followNewestFrames()
{
    QScrollBar *bar = ui->table_traffic->verticalScrollBar();
    connect(m_traffic, &TrafficModel::rowsAboutToBeInserted, this,
            [this, bar] { m_atNewest = bar->value() == bar->maximum(); });
    connect(m_traffic, &TrafficModel::rowsInserted, this, [this] {
        if (m_atNewest)
            ui->table_traffic->scrollToBottom();
    });
}

void BusHealthWindow::attach(DeviceThread *worker)
{
    m_worker = worker;
    connect(worker, &DeviceThread::sig_frames, m_traffic, &TrafficModel::append);
    if (isVisible())
        worker->setFrameTap(true);
}

void BusHealthWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_worker)
        m_worker->setFrameTap(true);
    refresh();
    m_refresh.start();
}

void BusHealthWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Minimised, the window is hidden as well; only a closed window stops the tap.
    if (isVisible())
        return;
    m_refresh.stop();
    if (m_worker)
        m_worker->setFrameTap(false);
}

void BusHealthWindow::refresh()
{
    if (!m_worker)
        return;
    const BusHealth::Snapshot snapshot = m_worker->health().snapshot(ReadTime::monotonicNowNs() / 1000000);
    m_health->show(snapshot);
    setTextIfChanged(ui->edit_usage, BusSummary::usage(snapshot.bus));
    setTextIfChanged(ui->edit_cycle, BusSummary::cycle(snapshot.bus));
    setTextIfChanged(ui->edit_link, BusSummary::link(snapshot.bus));
    setTextIfChanged(ui->edit_echo, BusSummary::echo(snapshot.bus));
    setTextIfChanged(ui->label_overrun, BusSummary::overrun(snapshot.bus));
    listFilterAddresses();
    showFrameCount();
}

void BusHealthWindow::setTextIfChanged(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

// The figures that change every second sit in line edits: a label's new text would lay out the
// window again, and the tab widget then repaints all of it.
void BusHealthWindow::setTextIfChanged(QLineEdit *field, const QString &text)
{
    if (field->text() == text)
        return;
    field->setText(text);
    field->setCursorPosition(0); // the start of the text in view, not its end
}

// The filter offers every controller of the table; the one chosen stays chosen.
void BusHealthWindow::listFilterAddresses()
{
    QStringList wanted{tr("全部")};
    for (int row = 0; row < m_health->rowCount(); ++row)
        wanted << QString::number(m_health->addressAt(row));
    QComboBox *devices = ui->combox_device;
    QStringList listed;
    for (int k = 0; k < devices->count(); ++k)
        listed << devices->itemText(k);
    if (listed == wanted)
        return;
    const QString chosen = devices->currentText();
    const QSignalBlocker quiet(devices);
    devices->clear();
    devices->addItems(wanted);
    devices->setCurrentIndex(qMax(0, wanted.indexOf(chosen)));
    on_combox_device_currentIndexChanged(devices->currentIndex());
}

void BusHealthWindow::showFrameCount()
{
    const QString text = m_traffic->isPaused() ? tr("%1 帧（已暂停）").arg(m_traffic->rowCount())
                                               : tr("%1 帧").arg(m_traffic->rowCount());
    setTextIfChanged(ui->edit_frames, text);
}

void BusHealthWindow::on_btn_clear_clicked()
{
    if (!m_worker)
        return;
    m_worker->health().clear();
    refresh();
}

void BusHealthWindow::on_btn_pause_clicked()
{
    const bool pause = !m_traffic->isPaused();
    m_traffic->setPaused(pause);
    ui->btn_pause->setText(pause ? tr("继续") : tr("暂停"));
    showFrameCount();
}

void BusHealthWindow::on_combox_device_currentIndexChanged(int index)
{
    m_traffic->setAddressFilter(index <= 0 ? 0 : ui->combox_device->itemText(index).toInt());
    showFrameCount();
}

void BusHealthWindow::on_btn_save_clicked()
{
    const QString suggested =
        QDir(defaultDataDirectory())
            .filePath(QStringLiteral("报文-%1.txt")
                          .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    const QString path =
        FileDialogSeam::getSaveFileName(this, tr("保存报文"), suggested, tr("文本文件 (*.txt)"));
    if (path.isEmpty())
        return;
    const QString problem = regularFileProblem(path);
    if (!problem.isEmpty()) {
        MessageBoxSeam::warning(this, tr("提示"), tr("%1无法写入（%2）").arg(path, problem));
        return;
    }
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    QStringList lines = m_traffic->lines();
    lines.append(QString()); // the last line ends too
    const QByteArray text = lines.join(QLatin1Char('\n')).toUtf8();
    // commit() alone misses a failure of the last buffered write (a full disk).
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Text) &&
                         file.write(text) == text.size() && file.flush() && file.commit();
    if (!written) {
        MessageBoxSeam::warning(this, tr("提示"), tr("%1无法写入（%2）").arg(path, file.errorString()));
        return;
    }
    MessageBoxSeam::information(this, tr("提示"), tr("报文已保存到%1").arg(path));
}
