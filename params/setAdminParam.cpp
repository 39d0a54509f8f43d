#include "setAdminParam.h"

#include "Language.h"
#include "MessageBoxSeam.h"
#include "myEdit.h"
#include "ui_setAdminParam.h"

#include <QDebug>

using namespace ParameterCodes;

namespace {

// The menu passwords are read as 32 bits but written as 16.
const QList<Field> fields{
    {"edit_active_out_fre", 2, Decoding::Int16, true, 2, 1, Sent::IntegerTwice, Range::Word16},
    {"edit_adjust_dead_area", 4, Decoding::Float, true, 4, 1, Sent::Real, Range::Any},
    {"edit_adjust_P", 5, Decoding::Float, true, 5, 1, Sent::Real, Range::Any},
    {"edit_adjust_i", 6, Decoding::Float, true, 6, 1, Sent::Real, Range::Any},
    {"edit_adjust_d", 7, Decoding::Float, true, 7, 2, Sent::Real, Range::Any},
    {"edit_analog_input_fre", 8, Decoding::Int16, true, 8, 1, Sent::Integer, Range::Word16},
    {"edit_password_seior", 10, Decoding::Int32, true, 10, 2, Sent::IntegerTwice, Range::Word16},
    {"edit_password_ori", 9, Decoding::Int32, true, 9, 2, Sent::IntegerTwice, Range::Word16},
    {"lineEdit", 11, Decoding::Int16, false, 0, 0, Sent::Integer, Range::Any},
};

const QList<Selector> selectors{
    {"comboBox", 1, 1, {0, 1, 2, 3, 4, 5, 6}, true},
    {"comboBox_2", 3, 3, {1, 0}, true},
};

constexpr int FactoryInitCode = 11;
constexpr int ZeroFlowCode = 12;
constexpr int CleaningOnCode = 13;
constexpr int CleaningOffCode = 14;
constexpr int AnalogZeroCode = 15;
constexpr int AnalogFullScaleCode = 16;

} // namespace

setAdminParam::setAdminParam(QWidget *parent)
    : ParameterWindow(parent, {false, tr("Input Error"), tr("Please enter a valid number.")}),
      ui(new Ui::setAdminParam)
{
    ui->setupUi(this);
    setUpCodes(ui->combox_deviceId, fields, selectors,
               {ui->pushButton, ui->pushButton_2, ui->pushButton_3, ui->pushButton_4, ui->pushButton_5,
                ui->pushButton_6});
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    ui->edit_analog_input_fre->setMaxValue(100);
    // The address read from the device is shown, not written from here.
    ui->lineEdit->setReadOnly(true);
    // The Chinese form draws this one caption in a face of its own; in English it reads as one of its
    // neighbours.
    if (Language::current() == UiLanguage::English)
        ui->label_3->setFont(ui->label->font());
}

setAdminParam::~setAdminParam()
{
    delete ui;
}

void setAdminParam::requestRead(int address)
{
    emit sigshowAdminParam(address);
}

void setAdminParam::requestWrite(quint8 address, const Write &write)
{
    emit sig_modifyAdminParam(address, write.type, write.dataType, write.data1, write.data2);
}

void setAdminParam::on_combox_deviceId_currentIndexChanged(int)
{
    if (placeholderShown()) {
        startHiding();
        return;
    }
    if (comboReady)
        showSelectedDevice();
}

void setAdminParam::on_pushButton_3_clicked()
{
    if (comboReady)
        readSelected();
}

void setAdminParam::onReturnPressed()
{
    qDebug() << "管理员回车";
    quint8 address = 0;
    if (!selectedAddress(&address)) {
        qDebug() << "combox无效";
        return;
    }
    myEdit *edit = changedSender(sender());
    if (!edit)
        return;
    const auto write = checkedWrite(edit);
    if (!write)
        return;
    qDebug() << "id:" << int(address);
    send(address, *write, edit);
}

void setAdminParam::on_comboBox_currentIndexChanged(int index)
{
    qDebug() << "要改成的波特率是" << index;
    quint8 address = 0;
    if (index < 0 || !selectedAddress(&address))
        return;
    // At another baud rate the controller no longer hears this port.
    if (!confirmedChoice(address, ui->comboBox, index, tr("波特率", "named in a question")))
        return;
    rememberSelectorValue(BaudCode, index);
    sendChoice(ui->comboBox, index);
}

void setAdminParam::on_comboBox_2_currentIndexChanged(int index)
{
    qDebug() << "主动输出当前的索引是" << index;
    sendChoice(ui->comboBox_2, index);
}

bool setAdminParam::sendCommand(int code)
{
    quint8 address = 0;
    if (!selectedAddress(&address))
        return false;
    send(address, {code, 1, 0, 0});
    return true;
}

void setAdminParam::sendConfirmedCommand(int code, const QPushButton *button)
{
    quint8 address = 0;
    if (selectedAddress(&address) && confirmedCommand(address, button->text()))
        send(address, {code, 1, 0, 0});
}

void setAdminParam::on_pushButton_clicked()
{
    sendConfirmedCommand(FactoryInitCode, ui->pushButton);
}

void setAdminParam::on_pushButton_2_clicked()
{
    sendConfirmedCommand(ZeroFlowCode, ui->pushButton_2);
}

void setAdminParam::on_pushButton_5_clicked()
{
    sendConfirmedCommand(AnalogZeroCode, ui->pushButton_5);
}

void setAdminParam::on_pushButton_6_clicked()
{
    sendConfirmedCommand(AnalogFullScaleCode, ui->pushButton_6);
}

void setAdminParam::on_pushButton_4_clicked()
{
    if (!m_cleaningShownOn) {
        qDebug() << "现在按钮是清洗打开 现在想要打开清洗";
        if (sendCommand(CleaningOnCode)) {
            m_latestCleaning = CleaningOnCode;
            showCleaningOn(true);
        }
    } else if (sendCommand(CleaningOffCode)) {
        m_latestCleaning = CleaningOffCode;
        showCleaningOn(false);
    }
}

void setAdminParam::showCleaningOn(bool on)
{
    m_cleaningShownOn = on;
    if (on) {
        ui->pushButton_4->setStyleSheet(
            QStringLiteral("background-color: gray; border: 1px solid lightgray;"));
        ui->pushButton_4->setText(tr("清洗关闭"));
    } else {
        ui->pushButton_4->setStyleSheet(
            QStringLiteral("background-color: white; border: 1px solid lightgray;"));
        ui->pushButton_4->setText(tr("清洗打开"));
    }
}

void setAdminParam::slot_param_result(int type, int deviceId, QByteArray result)
{
    queueResult(type, deviceId, result);
}

void setAdminParam::slot_modifyStatus(bool sucess, int adress)
{
    queueOutcome(sucess, adress, [this, sucess, adress] { reactToOutcome(sucess, adress); });
}

void setAdminParam::reactToOutcome(bool success, int code)
{
    if (code == BaudCode) {
        if (success)
            MessageBoxSeam::information(this, tr("提示"),
                                        tr("波特率修改成功，请以新的波特率重新打开串口并重新查询设备"));
        else
            MessageBoxSeam::warning(this, tr("提示"), tr("波特率修改失败"));
        return;
    }
    // The caption shows what the latest cleaning command asked for; when that command failed, the
    // controller is still in the state before it. An older command's outcome says nothing now.
    if (!success && code == m_latestCleaning) {
        showCleaningOn(code == CleaningOffCode);
        m_latestCleaning = 0;
    }
}
