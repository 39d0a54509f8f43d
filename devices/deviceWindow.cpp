#include "deviceWindow.h"
#include "DeviceLine.h"
#include "ui_deviceWindow.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

struct HeaderColumn
{
    const char *caption;
    int stretch;
};

// The stretches match those of the row cells, so the captions stand above their columns.
const HeaderColumn kHeader[] = {
    {QT_TRANSLATE_NOOP("deviceWindow", "在线状态"), 2},
    {QT_TRANSLATE_NOOP("deviceWindow", "ID号"), 1},
    {QT_TRANSLATE_NOOP("deviceWindow", "瞬时流量/sccm"), 2},
    {QT_TRANSLATE_NOOP("deviceWindow", "累积流量/L"), 2},
    {QT_TRANSLATE_NOOP("deviceWindow", "温度/℃"), 2},
    {QT_TRANSLATE_NOOP("deviceWindow", "压力/KPa"), 2},
    {QT_TRANSLATE_NOOP("deviceWindow", "瞬时流量设定/sccm"), 3},
    {QT_TRANSLATE_NOOP("deviceWindow", "累积流量设定/L"), 3},
    {QT_TRANSLATE_NOOP("deviceWindow", "流量控制模式"), 2},
};

} // namespace

deviceWindow::deviceWindow(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::deviceWindow>())
{
    ui->setupUi(this);
    auto *pageLayout = new QVBoxLayout;
    pageLayout->addWidget(buildHeader());
    for (int i = 0; i < kRowCount; ++i)
        addRow(pageLayout);
    setLayout(pageLayout);
}

deviceWindow::~deviceWindow() = default;

QWidget *deviceWindow::buildHeader()
{
    auto *header = new QWidget(this);
    auto *headerBox = new QHBoxLayout(header);
    for (const HeaderColumn &column : kHeader) {
        auto *label = new QLabel(tr(column.caption), header);
        QFont font = label->font();
        font.setPointSize(15);
        label->setFont(font);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        headerBox->addWidget(label, column.stretch);
    }
    return header;
}

void deviceWindow::addRow(QVBoxLayout *pageLayout)
{
    auto *line = new DeviceLine(this);
    rows.append(line);
    pageLayout->addWidget(line);
    connect(line, &DeviceLine::signla_onlineDevice, this, &deviceWindow::slot_onlineDevice);
    connect(line, &DeviceLine::setBseParam, this, &deviceWindow::slot_setBasePara);
    connect(line, &DeviceLine::changeMode, this, &deviceWindow::slot_setMode);
    connect(line, &DeviceLine::noShowFlow, this, &deviceWindow::device_noShowFlow);
    connect(line, &DeviceLine::refreshOnlineDevice, this, &deviceWindow::trackOnlineDevice);
    connect(line, &DeviceLine::showFlowSetValue, this, &deviceWindow::slot_showFlowSetValue);
    connect(line, &DeviceLine::sig_setflow, this, &deviceWindow::wid_setFlow);
    connect(line, &DeviceLine::showMode, this, &deviceWindow::slot_showMode);
}

DeviceLine *deviceWindow::row(int index) const
{
    return index >= 0 && index < rows.size() ? rows.at(index) : nullptr;
}

void deviceWindow::slot_onlineDevice(int online_type, int deviceId)
{
    emit sig_onlineDevice(online_type, deviceId);
}

void deviceWindow::slot_setBasePara(uchar deviceId, int type, float value)
{
    emit sig_sendBaseParam(deviceId, type, value);
}

void deviceWindow::slot_setMode(uchar deviceId, int type)
{
    emit sig_sendModeChange(deviceId, type);
}

void deviceWindow::device_noShowFlow(uchar deviceId, int type, bool online)
{
    emit signal_noShowFlow(deviceId, type, online);
}

void deviceWindow::refreshDeviceStatus(int deviceId, bool conn)
{
    const QString idText = QString::number(deviceId);
    if (conn)
        return;
    // Every row showing the address is marked, should a scan have listed it twice.
    for (DeviceLine *line : qAsConst(rows)) {
        if (line->deviceIdText() != idText)
            continue;
        qDebug().noquote() << "???id?" << idText << "?????";
        line->markDropped();
    }
}

void deviceWindow::slot_showFlowSetValue(int type, int deviceId)
{
    qDebug() << "显示的控制模式是" << type << "\n";
    emit request_show_cumSet(type, deviceId);
}

void deviceWindow::wid_setFlow(int type, float result)
{
    emit sig_setFlow(type, result);
}

void deviceWindow::slot_showMode(int deviceId)
{
    emit requestShowMode(static_cast<uchar>(deviceId));
}

void deviceWindow::trackOnlineDevice(int id, int type)
{
    if (type == DeviceLine::BecameOnline)
        onlineIds.append(id);
    else if (type == DeviceLine::WentOffline)
        onlineIds.removeOne(id);
}
