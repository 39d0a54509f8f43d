#include "lossWidget.h"

#include "MessageBoxSeam.h"
#include "ui_lossWidget.h"

#include <QDateTime>
#include <QDebug>
#include <QMap>
#include <QPair>
#include <QStyle>

using Bus::CommSetting;

namespace {

// A longer translation of the field's text (the English date has the whole year) widens the field
// leftwards, into the room its short caption leaves, until the text shows whole.
void growToShow(QLineEdit *edit)
{
    const QMargins margins = edit->textMargins();
    const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
    const int needed = edit->fontMetrics().horizontalAdvance(edit->text()) + edit->width() -
                       edit->contentsRect().width() + margins.left() + margins.right() + 2 * frame + 6;
    if (needed <= edit->width())
        return;
    QRect area = edit->geometry();
    area.setLeft(area.right() + 1 - needed);
    edit->setGeometry(area);
}

} // namespace

lossWidget::lossWidget(QWidget *parent) : QWidget(parent), ui(new Ui::lossWidget)
{
    ui->setupUi(this);
    stampStartTime();
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
}

lossWidget::~lossWidget()
{
    delete ui;
}

void lossWidget::stampStartTime()
{
    //: The format of the start time, in QDateTime's letters: an English reader expects the whole year first.
    ui->edit_time->setText(QDateTime::currentDateTime().toString(tr("yy-MM-dd HH:mm:ss")));
    growToShow(ui->edit_time);
}

void lossWidget::receiveLoss(int type, float result)
{
    if (type == Bus::code(Bus::LossReport::BusUsage))
        ui->edit_bus_rate->setText(QString::number(result, 'f', 3) + QStringLiteral("%"));
    else if (type == Bus::code(Bus::LossReport::LostQueries))
        ui->edit_loss_Statistics->setText(QString::number(result, 'g', 6));
}

void lossWidget::receiveCommSet(int type, int receive)
{
    QString text;
    switch (CommSetting(type)) {
    case CommSetting::QueryPeriod:
        text = tr("当前查询周期为%1毫秒").arg(receive);
        break;
    case CommSetting::QueryPause:
        // The interval is reported as the pause plus a fixed 5 ms margin, the figure operators know.
        text = tr("当前查询间隔%1毫秒").arg(receive + 5);
        break;
    case CommSetting::ReplyTimeout:
        text = tr("当前查询等待时间%1毫秒").arg(receive);
        break;
    default:
        return;
    }
    MessageBoxSeam::information(this, tr("提示"), text);
}

void lossWidget::on_pushButton_5_clicked()
{
    emit getCommSet(Bus::code(CommSetting::QueryPeriod));
}

void lossWidget::on_pushButton_6_clicked()
{
    emit getCommSet(Bus::code(CommSetting::QueryPause));
}

void lossWidget::on_pushButton_7_clicked()
{
    emit getCommSet(Bus::code(CommSetting::ReplyTimeout));
}

bool lossWidget::acceptedSetting(const QString &text, CommSetting setting, int *value)
{
    static const QMap<CommSetting, QPair<const char *, Range>> settings = {
        {CommSetting::QueryPeriod, {QT_TR_NOOP("查询周期"), periodRange}},
        {CommSetting::QueryPause, {QT_TR_NOOP("查询间隔"), pauseRange}},
        {CommSetting::ReplyTimeout, {QT_TR_NOOP("查询等待时间"), timeoutRange}},
    };
    const QString name = tr(settings.value(setting).first);
    const Range range = settings.value(setting).second;
    bool whole = false;
    *value = text.trimmed().toInt(&whole, 10);
    if (whole && setting == CommSetting::QueryPause && *value < minimumPause)
        *value = minimumPause;
    if (whole && *value >= range.lowest && *value <= range.highest)
        return true;
    MessageBoxSeam::warning(
        this, tr("错误提示"),
        tr("%1应为%2到%3之间的整数（毫秒），设置未改变").arg(name).arg(range.lowest).arg(range.highest));
    return false;
}

void lossWidget::on_lineEdit_returnPressed()
{
    qDebug() << "点击率查询周期";
    int value = 0;
    if (acceptedSetting(ui->lineEdit->text(), CommSetting::QueryPeriod, &value))
        emit commSet(Bus::code(CommSetting::QueryPeriod), value);
}

void lossWidget::on_lineEdit_2_returnPressed()
{
    int value = 0;
    if (acceptedSetting(ui->lineEdit_2->text(), CommSetting::QueryPause, &value))
        emit commSet(Bus::code(CommSetting::QueryPause), value);
}

void lossWidget::on_lineEdit_3_returnPressed()
{
    int value = 0;
    if (acceptedSetting(ui->lineEdit_3->text(), CommSetting::ReplyTimeout, &value))
        emit commSet(Bus::code(CommSetting::ReplyTimeout), value);
}

void lossWidget::on_pushButton_8_clicked()
{
    ui->lineEdit->clear();
    ui->lineEdit_2->clear();
    ui->lineEdit_3->clear();
    ui->edit_loss_Statistics->clear();
    stampStartTime();
    emit sig_clearloss();
}
