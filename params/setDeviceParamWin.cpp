#include "setDeviceParamWin.h"

#include "MessageBoxSeam.h"
#include "myEdit.h"
#include "ui_setDeviceParamWin.h"

#include <QDebug>

using namespace ParameterCodes;

namespace {

// Alarm values are float registers: they travel as real
// numbers.
const QList<Field> deviceFields{
    {"edit_flow_number", 1, Decoding::Int16, true, 2, 1, Sent::IntegerTwice, Range::Word16},
    {"edit_cun_flow_number", 2, Decoding::Float, true, 1, 2, Sent::Real, Range::Any},
    {"edit_backlight_time", 3, Decoding::Int16, true, 3, 1, Sent::Integer, Range::Word16},
    {"edit_open_delay", 5, Decoding::Int16, true, 5, 1, Sent::Integer, Range::Word16},
    {"edit_acc_interval", 6, Decoding::Int16, true, 6, 1, Sent::Integer, Range::Word16},
    {"edit_method_alarm", 7, Decoding::Int16, true, 7, 1, Sent::Integer, Range::Word16},
    {"edit_alarm_1", 9, Decoding::Float, true, 9, 2, Sent::Real, Range::Any},
    {"edit_alarm_2", 10, Decoding::Float, true, 10, 2, Sent::Real, Range::Any},
    {"edit_id", 12, Decoding::Int16, false, 11, 1, Sent::Integer, Range::BusAddress},
};

const QList<Selector> deviceSelectors{
    {"combox__poweroff", 4, 4, {1, 0}, false},
    {"combox_alarm_level", 8, 8, {0, 1}, false},
};

constexpr int ResetCumulativeType = 12;
constexpr int AddressType = 11;

} // namespace

setDeviceParamWin::setDeviceParamWin(QWidget *parent)
    : ParameterWindow(parent, {true, tr("输入错误"), tr("请输入有效数值.")}), ui(new Ui::setDeviceParamWin)
{
    ui->setupUi(this);
    setUpCodes(ui->comboBox, deviceFields, deviceSelectors, {ui->pushButton, ui->pushButton_3});
    ui->edit_flow_number->setMaxValue(255);
    ui->edit_cun_flow_number->setMaxValue(99999);
    ui->edit_backlight_time->setMaxValue(65);
    ui->edit_backlight_time->setMinValue(3);
    ui->edit_method_alarm->setMaxValue(6);
}

setDeviceParamWin::~setDeviceParamWin()
{
    delete ui;
}

void setDeviceParamWin::requestRead(int address)
{
    emit sigshowDeviceParam(address);
}

void setDeviceParamWin::requestWrite(quint8 address, const Write &write)
{
    emit sig_modifyDeviceParam(address, write.type, write.dataType, write.data1, write.data2);
}

void setDeviceParamWin::on_comboBox_currentIndexChanged(int index)
{
    if (placeholderShown()) {
        startHiding();
        return;
    }
    if (!comboReady)
        return;
    qDebug() << "当前参数的combox索引是" << index;
    showSelectedDevice();
}

void setDeviceParamWin::on_pushButton_3_clicked()
{
    qDebug() << "点击了刷新按钮";
    if (comboReady)
        readSelected();
}

void setDeviceParamWin::onReturnPressed()
{
    quint8 address = 0;
    if (!selectedAddress(&address)) {
        qDebug() << "combox无效";
        return;
    }
    myEdit *edit = changedSender(sender());
    if (!edit)
        return;
    qDebug() << "按钮的名字是" << edit->objectName();
    const auto write = checkedWrite(edit);
    if (!write)
        return;
    // Two controllers at one address answer together and garble each other's replies: neither
    // could be reached again from here.
    if (edit == ui->edit_id && write->data1 != address && listedDevices().contains(quint8(write->data1))) {
        refuse(edit);
        return;
    }
    if (edit == ui->edit_id && !confirmedEntry(address, edit, tr("ID号"), QString::number(write->data1)))
        return;
    if (edit == ui->edit_cun_flow_number)
        qDebug() << "自定义气体叙述是" << write->data2;
    send(address, *write, edit);
    if (edit == ui->edit_id)
        qDebug() << "（" << write->data1 << "）";
}

void setDeviceParamWin::on_combox__poweroff_currentIndexChanged(int index)
{
    sendChoice(ui->combox__poweroff, index);
}

void setDeviceParamWin::on_combox_alarm_level_activated(int index)
{
    sendChoice(ui->combox_alarm_level, index);
}

void setDeviceParamWin::on_pushButton_clicked()
{
    quint8 address = 0;
    if (!selectedAddress(&address))
        return;
    qDebug() << "累积量清零的设备ID是" << int(address);
    if (confirmedCommand(address, ui->pushButton->text()))
        send(address, {ResetCumulativeType, 1, 1, 0});
}

void setDeviceParamWin::slot_param_result(int type, int deviceId, QByteArray result)
{
    qDebug() << "type:" << type;
    queueResult(type, deviceId, result);
}

void setDeviceParamWin::slot_modifyStatus(bool sucess, int adress)
{
    queueOutcome(sucess, adress, [this, sucess, adress] {
        if (sucess && adress == AddressType)
            MessageBoxSeam::information(this, tr("提示"), tr("修改设备ID成功，请重新查询设备确认"));
    });
}
