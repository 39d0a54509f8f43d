#include "DeviceLine.h"
#include "BusCodes.h"
#include "Console.h"
#include "CustomSpimbox.h"
#include "MessageBoxSeam.h"
#include "NumericText.h"
#include "Reading.h"
#include "myButton.h"
#include "ui_DeviceLine.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QVBoxLayout>

namespace {

const QString kWhite = QStringLiteral("QPushButton { background-color: white;border: none;  }");
const QString kRed = QStringLiteral("QPushButton { background-color: red;border: none;  }");
const QString kGreen = QStringLiteral("QPushButton { background-color: green;border: none;  }");
// The first way online is written without the blank after the colon.
const QString kGreenFirst = QStringLiteral("QPushButton { background-color:green;border: none;  }");
const QString kIdStyle =
    QStringLiteral("QPushButton { background-color: white;border: none;font-size: 30px;}");
const QString kHidden = QStringLiteral("background-color: lightgray;border: none;");
const QString kHiddenMark = QStringLiteral("background-color: lightgray;");
const QString kShownAgain = QStringLiteral("background-color: white;border: none;");
const QString kEntryStyle = QStringLiteral("QLineEdit { font-size: 20px; }");
const QString kActiveEntry = QStringLiteral("font-family: Arial; font-size: 20px; font-weight: 300;");
const QString kGreyEntry = QStringLiteral(
    "font-family: Arial; font-size: 20px; font-weight: 300;background-color: gray;border: none");

using Bus::OnlineRequest;
using Bus::ReadingType;
using Bus::SetpointKind;

template <class Button> Button *makeCell(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = new Button(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setStyleSheet(kWhite);
    QFont font = button->font();
    font.setPointSize(20);
    button->setFont(font);
    return button;
}

// A setpoint as the controller has it, in six significant digits.
QString setpointText(float value)
{
    return QString::number(double(value), 'g', 6);
}

CustomSpimbox *makeEntry(QWidget *parent, const QString &name)
{
    auto *entry = new CustomSpimbox(parent);
    entry->setObjectName(name);
    entry->setStyleSheet(kEntryStyle);
    entry->setFixedSize(200, 35);
    return entry;
}

} // namespace

DeviceLine::DeviceLine(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::DeviceLine>())
{
    // The cells exist before setupUi so that its by-name connection finds the on_<button> slots.
    buildCells();
    buildLayout();
    ui->setupUi(this);
    connect(edit_cur, &CustomSpimbox::setFlowValue, this, &DeviceLine::slot_setcurFlow);
    connect(edit_cum, &CustomSpimbox::setFlowValue, this, &DeviceLine::slot_setcumFlow);
}

DeviceLine::~DeviceLine() = default;

void DeviceLine::buildCells()
{
    btn_online = makeCell<QPushButton>(this, QStringLiteral("btn_online"), onlineStateCaption());
    btn_id = new QPushButton(this);
    btn_id->setObjectName(QStringLiteral("btn_id"));
    btn_id->setStyleSheet(kIdStyle);
    btn_id->setFixedSize(btn_id->width() * 2 / 3, btn_id->height());
    btn_currentFlow = makeCell<myButton>(this, QStringLiteral("btn_currentFlow"), tr("瞬时流量"));
    btn_cumFlow = makeCell<myButton>(this, QStringLiteral("btn_cumFlow"), tr("累积流量"));
    btn_temp = makeCell<myButton>(this, QStringLiteral("btn_temp"), tr("温度"));
    btn_press = makeCell<myButton>(this, QStringLiteral("btn_press"), tr("压力"));
    edit_cur = makeEntry(this, QStringLiteral("edit_cur"));
    edit_cum = makeEntry(this, QStringLiteral("edit_cum"));
    btn_mode = makeCell<myButton>(this, QStringLiteral("btn_mode"), modeCaption(m_showsCumulativeMode));
}

void DeviceLine::buildLayout()
{
    const QList<QWidget *> cells = {btn_online, btn_id,   btn_currentFlow, btn_cumFlow, btn_temp,
                                    btn_press,  edit_cur, edit_cum,        btn_mode};
    const int stretches[] = {2, 1, 2, 2, 2, 2, 3, 3, 2};
    auto *cellBox = new QHBoxLayout;
    for (int i = 0; i < cells.size(); ++i) {
        cells[i]->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        cellBox->addWidget(cells[i], stretches[i]);
    }
    auto *rowBox = new QVBoxLayout(this);
    rowBox->addStretch(4);
    rowBox->addLayout(cellBox);
    rowBox->addStretch(1);
}

QString DeviceLine::deviceIdText() const
{
    return btn_id->text();
}

QString DeviceLine::onlineCaption() const
{
    return btn_online->text();
}

int DeviceLine::deviceAddress() const
{
    return btn_id->text().toInt();
}

bool DeviceLine::isConnected() const
{
    return m_onlineState == OnlineState::Connected;
}

bool DeviceLine::hasDropped() const
{
    return m_onlineState == OnlineState::Dropped;
}

QString DeviceLine::onlineStateCaption() const
{
    switch (m_onlineState) {
    case OnlineState::NotYetOnline:
        return tr("上线");
    case OnlineState::Connected:
        return tr("接连");
    case OnlineState::Disconnected:
        return tr("断开");
    case OnlineState::Dropped:
        return tr("掉线");
    }
    return QString();
}

void DeviceLine::setOnlineState(OnlineState state)
{
    m_onlineState = state;
    btn_online->setText(onlineStateCaption());
}

QString DeviceLine::modeCaption(bool cumulative)
{
    return cumulative ? tr("累积量控制") : tr("瞬时量控制");
}

void DeviceLine::showModeCaption(bool cumulative)
{
    m_showsCumulativeMode = cumulative;
    btn_mode->setText(modeCaption(cumulative));
}

void DeviceLine::on_btn_online_clicked()
{
    if (btn_id->text().isEmpty()) {
        Console::write(QStringLiteral("上面没有设备\n"));
        return;
    }
    const int id = deviceAddress();
    switch (m_onlineState) {
    case OnlineState::NotYetOnline:
        emit signla_onlineDevice(Bus::code(OnlineRequest::TakeOnline), id);
        goOnline(kGreenFirst, true);
        break;
    case OnlineState::Connected:
        emit signla_onlineDevice(Bus::code(OnlineRequest::TakeOffline), id);
        goOffline(id);
        break;
    case OnlineState::Disconnected:
        emit signla_onlineDevice(Bus::code(OnlineRequest::TakeOnline), id);
        goOnline(kGreen, false);
        break;
    case OnlineState::Dropped:
        emit signla_onlineDevice(Bus::code(OnlineRequest::TakeOnlineAgain), id);
        reconnectDropped(id);
        break;
    }
}

void DeviceLine::goOnline(const QString &onlineStyle, bool askMode)
{
    const int id = deviceAddress();
    setOnlineState(OnlineState::Connected);
    btn_online->setStyleSheet(onlineStyle);
    resetValueButtons();
    emit refreshOnlineDevice(id, BecameOnline);
    if (askMode)
        emit showMode(id);
}

void DeviceLine::goOffline(int id)
{
    setOnlineState(OnlineState::Disconnected);
    btn_online->setStyleSheet(kRed);
    Console::write(QStringLiteral("设备") + btn_id->text() + QStringLiteral("在接连的情况下点击了下线\n"));
    emit refreshOnlineDevice(id, WentOffline);
    for (myButton *button : {btn_cumFlow, btn_currentFlow, btn_temp, btn_press})
        hideValueButton(button);
    edit_cum->setValueText(QString());
    edit_cur->setValueText(QString());
}

void DeviceLine::reconnectDropped(int id)
{
    setOnlineState(OnlineState::Connected);
    btn_online->setStyleSheet(kGreen);
    emit refreshOnlineDevice(id, BecameOnline);
    resetValueButtons();
}

void DeviceLine::on_btn_currentFlow_clicked()
{
    toggleReading(btn_currentFlow, ReadingType::InstantFlow);
}

void DeviceLine::on_btn_cumFlow_clicked()
{
    toggleReading(btn_cumFlow, ReadingType::CumulativeFlow);
}

void DeviceLine::on_btn_temp_clicked()
{
    toggleReading(btn_temp, ReadingType::Temperature);
}

void DeviceLine::on_btn_press_clicked()
{
    toggleReading(btn_press, ReadingType::Pressure);
}

void DeviceLine::toggleReading(myButton *button, ReadingType type)
{
    const uchar id = static_cast<uchar>(deviceAddress());
    if (button->styleSheet().contains(kHiddenMark)) {
        emit noShowFlow(id, Bus::code(type), true);
        button->setStyleSheet(kShownAgain);
        button->setLocked(false);
    } else {
        emit noShowFlow(id, Bus::code(type), false);
        hideValueButton(button);
    }
    if (type == ReadingType::InstantFlow || type == ReadingType::CumulativeFlow)
        edit_cur->clearEntryFocus();
}

void DeviceLine::slot_setcurFlow(float input)
{
    commitSetpoint(SetpointKind::Instant, input);
}

void DeviceLine::slot_setcumFlow(float input)
{
    commitSetpoint(SetpointKind::Cumulative, input);
}

void DeviceLine::commitSetpoint(SetpointKind kind, float input)
{
    if (!SetpointRange::contains(double(input))) {
        MessageBoxSeam::warning(this, tr("错误提示"),
                                tr("设定值超出范围，请输入%1到%2之间的数值")
                                    .arg(double(lowestSetpoint))
                                    .arg(double(highestSetpoint), 0, 'f', 0));
        // The refused text must not stand in the field as if the controller had it.
        setpointEntry(Bus::code(kind))->restoreSettledText();
        return;
    }
    if (isConnected() && !btn_id->text().isEmpty())
        emit setBseParam(static_cast<uchar>(deviceAddress()), Bus::code(kind), input);
}

void DeviceLine::on_btn_mode_clicked()
{
    if (btn_id->text().isEmpty()) {
        Console::write(QStringLiteral("设备为空"));
        return;
    }
    if (!isConnected())
        return;
    const int id = deviceAddress();
    switchMode(id, m_showsCumulativeMode ? 0 : 1);
}

void DeviceLine::switchMode(int id, int newMode)
{
    emit changeMode(static_cast<uchar>(id), newMode);
    const bool cumulative = newMode == 1;
    showModeCaption(cumulative);
    const int inForce = Bus::code(cumulative ? SetpointKind::Cumulative : SetpointKind::Instant);
    const int other = Bus::code(cumulative ? SetpointKind::Instant : SetpointKind::Cumulative);
    setModeView(id, inForce);
    // The setpoint of the mode now in force is read back first.
    emit showFlowSetValue(inForce, id);
    emit showFlowSetValue(other, id);
    edit_cum->setReadOnlyState(!cumulative);
    edit_cur->setReadOnlyState(cumulative);
}

void DeviceLine::setActiveEntry(CustomSpimbox *active, CustomSpimbox *grey)
{
    active->setStyleSheet(kActiveEntry);
    grey->setStyleSheet(kGreyEntry);
}

void DeviceLine::setModeView(int deviceId, int type)
{
    const bool instant = type == Bus::code(SetpointKind::Instant);
    if (btn_id->text().isEmpty() || deviceId != deviceAddress() ||
        (!instant && type != Bus::code(SetpointKind::Cumulative)))
        return;
    CustomSpimbox *active = instant ? edit_cur : edit_cum;
    CustomSpimbox *grey = instant ? edit_cum : edit_cur;
    setActiveEntry(active, grey);
    if (isConnected()) {
        active->setReadOnlyState(false);
        grey->setReadOnlyState(true);
    }
}

void DeviceLine::showDeviceMode(int mode)
{
    if (mode != 0 && mode != 1)
        return;
    const bool cumulative = mode == 1;
    showModeCaption(cumulative);
    CustomSpimbox *active = cumulative ? edit_cum : edit_cur;
    CustomSpimbox *grey = cumulative ? edit_cur : edit_cum;
    grey->setReadOnlyState(true);
    active->setReadOnlyState(false);
    setActiveEntry(active, grey);
}

void DeviceLine::resetValueButtons()
{
    for (myButton *button : {btn_currentFlow, btn_cumFlow, btn_temp, btn_press}) {
        button->setStyleSheet(kWhite);
        button->setLocked(false);
    }
}

void DeviceLine::restoreValueLabels()
{
    for (myButton *button : {btn_press, btn_temp, btn_currentFlow, btn_cumFlow})
        button->setStyleSheet(kWhite);
    btn_press->setText(tr("压力"));
    btn_temp->setText(tr("温度"));
    btn_currentFlow->setText(tr("瞬时流量"));
    btn_cumFlow->setText(tr("累积流量"));
}

void DeviceLine::hideValueButton(myButton *button)
{
    button->setText(QString());
    button->setLocked(true);
    button->setStyleSheet(kHidden);
}

void DeviceLine::setDeviceId(const QString &text)
{
    btn_id->setText(text);
    btn_id->setStyleSheet(kIdStyle);
}

void DeviceLine::resetRow()
{
    btn_online->setStyleSheet(kWhite);
    restoreValueLabels();
    setOnlineState(OnlineState::NotYetOnline);
    setDeviceId(QString());
    edit_cur->setStyleSheet(kActiveEntry);
    // A rescan may put another device into this row; its setpoints are read back once it is online,
    // and a failed write of the previous one is no longer shown on it.
    for (CustomSpimbox *entry : {edit_cur, edit_cum}) {
        entry->setValueText(QString());
        entry->clearWriteFailedMark();
    }
}

void DeviceLine::resetKeepingAddress()
{
    const QString address = btn_id->text();
    resetRow();
    setDeviceId(address);
}

void DeviceLine::showReading(int type, float value)
{
    // The row looks at neither the controller nor the read time.
    showReading(Reading::fromDeviceValue(type, 0, value, ReadTime{}));
}

void DeviceLine::showReading(const Reading &reading)
{
    if (!reading.usable)
        return;
    switch (reading.type) {
    case ReadingType::InstantFlow:
        btn_currentFlow->lockedSetText(NumericText::fixed(reading.value, 3));
        break;
    case ReadingType::CumulativeFlow:
        btn_cumFlow->lockedSetText(NumericText::fixed(reading.value, 3));
        break;
    case ReadingType::Temperature:
        btn_temp->lockedSetText(NumericText::fixed(reading.value, 1));
        break;
    case ReadingType::Pressure:
        btn_press->lockedSetText(NumericText::fixed(reading.value, 1));
        break;
    }
}

CustomSpimbox *DeviceLine::setpointEntry(int kind) const
{
    if (kind == Bus::code(SetpointKind::Instant))
        return edit_cur;
    if (kind == Bus::code(SetpointKind::Cumulative))
        return edit_cum;
    return nullptr;
}

void DeviceLine::showSetpoint(int type, float value)
{
    if (CustomSpimbox *entry = setpointEntry(type))
        entry->showReadBack(setpointText(value));
}

void DeviceLine::confirmSetpoint(int kind, float value)
{
    if (CustomSpimbox *entry = setpointEntry(kind))
        entry->confirmWrite(setpointText(value));
}

void DeviceLine::showRamp(std::optional<float> target, float reached, double rate)
{
    if (!target) {
        edit_cur->showTarget(QString(), QString());
        return;
    }
    edit_cur->showTarget(QStringLiteral("→ %1").arg(setpointText(*target)),
                         tr("斜坡：%1 → %2 sccm，%3 sccm/s")
                             .arg(setpointText(reached), setpointText(*target), setpointText(float(rate))));
}

void DeviceLine::showAlarm(const QString &text)
{
    if (!m_alarmMark) {
        m_alarmMark = new QLabel(QStringLiteral("●"), btn_id);
        m_alarmMark->setObjectName(QStringLiteral("label_alarm"));
        m_alarmMark->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_alarmMark->setStyleSheet(QStringLiteral("color: red;"));
    }
    m_alarmMark->adjustSize();
    m_alarmMark->move(btn_id->width() - m_alarmMark->width() - 1, 0);
    m_alarmMark->setVisible(!text.isEmpty());
    m_alarmMark->raise();
    btn_id->setToolTip(text);
}

bool DeviceLine::showsAlarm() const
{
    return m_alarmMark && !m_alarmMark->isHidden();
}

void DeviceLine::revertSetpoint(int kind)
{
    if (CustomSpimbox *entry = setpointEntry(kind))
        entry->restoreSettledText();
}

void DeviceLine::markSetpointFailed(int kind)
{
    if (CustomSpimbox *entry = setpointEntry(kind))
        entry->markWriteFailed();
}

void DeviceLine::showReadingsStale(const QDateTime &lastReading)
{
    m_readingsStale = true;
    const QString tip = lastReading.isValid()
                            ? tr("最后读数：%1").arg(lastReading.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                            : QString();
    for (myButton *button : {btn_currentFlow, btn_cumFlow, btn_temp, btn_press}) {
        QPalette palette = button->palette();
        palette.setColor(QPalette::ButtonText, Qt::gray);
        button->setPalette(palette);
        button->setToolTip(tip);
    }
}

void DeviceLine::showReadingsCurrent()
{
    if (!m_readingsStale)
        return;
    m_readingsStale = false;
    for (myButton *button : {btn_currentFlow, btn_cumFlow, btn_temp, btn_press}) {
        button->setPalette(QPalette());
        button->setToolTip(QString());
    }
}

void DeviceLine::markDropped()
{
    setOnlineState(OnlineState::Dropped);
    btn_online->setStyleSheet(kRed);
}
