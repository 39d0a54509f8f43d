#include "BusHealthWindow.h"
#include "ui_BusHealthWindow.h"

#include "BusSummary.h"
#include "DataDirectory.h"
#include "DeviceThread.h"
#include "FileDialogSeam.h"
#include "HealthTableModel.h"
#include "MessageBoxSeam.h"
#include "OverrunAdvice.h"
#include "PlainTextDelegate.h"
#include "RegularFile.h"
#include "TrafficFile.h"
#include "TrafficModel.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QSaveFile>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>

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

// The folder of the last traffic file saved, offered again the next time, in this run or a later one.
namespace SaveFolder {

QString settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/quorix-rs485/diagnostics.ini");
}

const QString kKey = QStringLiteral("trafficFolder");

QString folder()
{
    const QString remembered = QSettings(settingsPath(), QSettings::IniFormat).value(kKey).toString();
    return !remembered.isEmpty() && QDir(remembered).exists() ? remembered : defaultDataDirectory();
}

void remember(const QString &path)
{
    QSettings(settingsPath(), QSettings::IniFormat).setValue(kKey, QFileInfo(path).absolutePath());
}

} // namespace SaveFolder

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
    QStringList outcomes{traffic[5]};
    FrameRecord sample;
    sample.exceptionCode = 0xFF;
    for (FrameOutcome outcome : {FrameOutcome::Timeout, FrameOutcome::CrcError, FrameOutcome::Exception,
                                 FrameOutcome::Late, FrameOutcome::AdapterEcho}) {
        sample.outcome = outcome;
        outcomes << TrafficModel::outcomeCaption(sample);
    }
    // The bytes column fits a float's write, the longest frame the worker sends; the value beside
    // it stays in view.
    sizeColumns(ui->table_traffic,
                {QStringLiteral("00:00:00.000"), direction, traffic[2], traffic[3],
                 QStringLiteral("00 00 00 00 00 00 00 00 00 00 00"), widest(outcomes, metrics)});
}

// The list follows the newest frames unless the operator scrolled up to read older ones: only a
// scroll decides, since the bar's range grows later than the rows, when the view next lays out.
// Scrolled up, the list keeps its top frame in place while the oldest frames make way.
void BusHealthWindow::followNewestFrames()
{
    QScrollBar *bar = ui->table_traffic->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
        if (m_placing)
            return;
        m_following = value == bar->maximum();
        m_scrolled = true;
    });
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
        if (m_following && !m_placing)
            bar->setValue(maximum);
    });
    connect(m_traffic, &TrafficModel::rowsAboutToBeRemoved, this, &BusHealthWindow::noteTopFrame);
    connect(m_traffic, &TrafficModel::rowsRemoved, this, [this] {
        if (!m_following)
            restorePlace();
    });
}

// Another filter shows other rows: the frame the operator scrolled to stays at the top (or the
// first one after it that is shown), through any number of filters until the operator scrolls
// again; a list that followed the newest frames goes on following them.
void BusHealthWindow::keepPlaceWhile(const std::function<void()> &refilter)
{
    noteTopFrame();
    m_placing = true;
    refilter();
    m_placing = false;
    restorePlace();
}

void BusHealthWindow::noteTopFrame()
{
    if (!m_scrolled)
        return;
    const int top = ui->table_traffic->rowAt(0);
    m_topFrame = top >= 0 ? m_traffic->numberAt(top) : -1;
    m_scrolled = false;
}

void BusHealthWindow::restorePlace()
{
    QTableView *view = ui->table_traffic;
    m_placing = true;
    view->doItemsLayout();
    const int row = m_topFrame >= 0 ? m_traffic->rowFrom(m_topFrame) : -1;
    if (m_following || row < 0)
        view->scrollToBottom();
    else
        view->scrollTo(m_traffic->index(row, 0), QAbstractItemView::PositionAtTop);
    m_placing = false;
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
    const BusHealth::Snapshot snapshot = m_worker->health().snapshot(ReadTime::monotonicNowNs() / 1000000,
                                                                     ui->check_allAddresses->isChecked());
    m_health->show(snapshot);
    setTextIfChanged(ui->edit_usage, BusSummary::usage(snapshot.bus));
    setTextIfChanged(ui->edit_cycle, BusSummary::cycle(snapshot.bus));
    setTextIfChanged(ui->edit_link, BusSummary::link(snapshot.bus));
    setTextIfChanged(ui->edit_echo, BusSummary::echo(snapshot.bus));
    setTextIfChanged(ui->label_overrun, OverrunAdvice::sentence(snapshot));
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
    const int address = index <= 0 ? 0 : ui->combox_device->itemText(index).toInt();
    keepPlaceWhile([this, address] { m_traffic->setAddressFilter(address); });
    showFrameCount();
}

void BusHealthWindow::on_check_errorsOnly_toggled(bool errorsOnly)
{
    keepPlaceWhile([this, errorsOnly] { m_traffic->setErrorsOnly(errorsOnly); });
    showFrameCount();
}

void BusHealthWindow::on_check_allAddresses_toggled(bool)
{
    refresh();
}

void BusHealthWindow::on_btn_save_clicked()
{
    const QString suggested =
        QDir(SaveFolder::folder())
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
    const BusHealth::Bus bus = m_worker ? m_worker->health().snapshot(0).bus : BusHealth::Bus();
    const QByteArray text = TrafficFile::text(bus, QDateTime::currentDateTime(), m_traffic->lines());
    // commit() alone misses a failure of the last buffered write (a full disk).
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Text) &&
                         file.write(text) == text.size() && file.flush() && file.commit();
    if (!written) {
        MessageBoxSeam::warning(this, tr("提示"), tr("%1无法写入（%2）").arg(path, file.errorString()));
        return;
    }
    SaveFolder::remember(path);
    MessageBoxSeam::information(this, tr("提示"), tr("报文已保存到%1").arg(path));
}
