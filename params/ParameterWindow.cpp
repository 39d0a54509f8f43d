#include "ParameterWindow.h"

#include "MessageBoxSeam.h"
#include "myEdit.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QShowEvent>
#include <QSignalBlocker>
#include <algorithm>

using namespace ParameterCodes;

namespace {
const QString readStyle = QStringLiteral("background-color: lightgreen;");
const QString failedStyle = QStringLiteral("background-color: yellow;");
} // namespace

ParameterWindow::ParameterWindow(QWidget *parent, const Look &look) : QWidget(parent), m_look(look)
{
    m_hideTimer.setSingleShot(true);
    m_hideTimer.setTimerType(Qt::PreciseTimer);
    m_hideTimer.setInterval(HidePauseMs);
    connect(&m_hideTimer, &QTimer::timeout, this, &ParameterWindow::hideNextField);
}

ParameterWindow::~ParameterWindow()
{
    // Destroying the active window takes the focus from its field, which reports finished editing;
    // by then the window's own part is gone, so its fields must no longer reach it.
    for (QWidget *child : findChildren<QWidget *>())
        disconnect(child, nullptr, this, nullptr);
}

void ParameterWindow::setUpCodes(QComboBox *deviceSelector, const QList<Field> &fields,
                                 const QList<Selector> &selectors, const QList<QWidget *> &buttons)
{
    m_deviceSelector = deviceSelector;
    m_deviceSelector->setFocusPolicy(Qt::StrongFocus);
    m_deviceSelector->installEventFilter(this);
    m_devices = DeviceComboList(deviceSelector);
    m_edits = findChildren<myEdit *>(QString(), Qt::FindDirectChildrenOnly);
    for (myEdit *edit : qAsConst(m_edits)) {
        const auto row = std::find_if(fields.begin(), fields.end(), [edit](const Field &field) {
            return edit->objectName() == QLatin1String(field.edit);
        });
        if (row == fields.end())
            qFatal("no code-table row for field %s", qPrintable(edit->objectName()));
        m_fields.append(*row);
        m_shown.insert(edit, edit->text());
        connect(edit, &QLineEdit::returnPressed, this, &ParameterWindow::onReturnPressed);
        connect(edit, &QLineEdit::editingFinished, this, &ParameterWindow::onReturnPressed);
        edit->installEventFilter(this);
        edit->hide();
    }
    m_selectors = selectors;
    for (const Selector &selector : selectors) {
        auto *box = findChild<QComboBox *>(QLatin1String(selector.combo));
        if (!box)
            qFatal("no selector %s", selector.combo);
        m_selectorBoxes.append(box);
        m_shownItems.append(box->currentIndex());
        // A scroll over a selector must neither choose an item nor take the focus from a field.
        box->setFocusPolicy(Qt::StrongFocus);
        box->installEventFilter(this);
        box->hide();
    }
    m_buttons = buttons;
    for (QWidget *button : buttons)
        button->hide();
}

namespace {

bool changesClosedSelector(const QKeyEvent *key)
{
    if (key->modifiers() & Qt::AltModifier)
        return false;
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return !key->text().trimmed().isEmpty(); // a letter searches the items
    }
}

} // namespace

bool ParameterWindow::eventFilter(QObject *watched, QEvent *event)
{
    // A closed selector would pick another item, and write it to the controller (a baud rate among
    // them), at a wheel passing over it or at an arrow or a letter meant for a field; only a choice
    // in its opened list counts (click, or Space, F4, Alt+Down).
    if (m_selectorBoxes.contains(qobject_cast<QComboBox *>(watched)) &&
        (event->type() == QEvent::Wheel ||
         (event->type() == QEvent::KeyPress && changesClosedSelector(static_cast<QKeyEvent *>(event)))))
        return true;
    // Nor may a wheel switch the controller that the next commits go to.
    if (watched == m_deviceSelector && event->type() == QEvent::Wheel)
        return true;
    // The field commits Return itself (clamped, focus released); keypad Enter would instead report
    // the commit twice while the field keeps the focus, and refused text would show two boxes.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Enter) {
        if (auto *edit = qobject_cast<myEdit *>(watched)) {
            QKeyEvent asReturn(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(edit, &asReturn);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ParameterWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Another controller may have been fitted at the selected address while the window was closed:
    // what it showed then must not pass for this one's values. A minimised window restored (a
    // spontaneous show) is not opened again.
    if (!event->spontaneous() && m_deviceSelector && comboReady && !placeholderShown())
        showSelectedDevice();
}

void ParameterWindow::clearCombox()
{
    comboReady = false;
    m_devices.clear();
    comboReady = true;
}

void ParameterWindow::slot_isBeenFindDevice(uchar deviceId)
{
    comboReady = false;
    m_devices.add(deviceId);
    comboReady = true;
}

bool ParameterWindow::selectedAddress(quint8 *address) const
{
    bool ok = false;
    const int value = m_deviceSelector->currentText().toInt(&ok, 10);
    if (!ok || value < 0 || value > 255)
        return false;
    *address = quint8(value);
    return true;
}

bool ParameterWindow::placeholderShown() const
{
    // Its caption changes with the language; it is always the first item.
    return m_deviceSelector->currentIndex() == 0;
}

void ParameterWindow::startHiding()
{
    m_hideNext = 0;
    if (m_edits.isEmpty()) {
        hideNextField();
        return;
    }
    m_edits.first()->setLocked(true);
    m_hideTimer.start();
}

void ParameterWindow::hideNextField()
{
    if (m_hideNext < m_edits.size()) {
        myEdit *edit = m_edits.at(m_hideNext++);
        setShownText(edit, QString(), true);
        edit->hide();
    }
    if (m_hideNext < m_edits.size()) {
        m_edits.at(m_hideNext)->setLocked(true);
        m_hideTimer.start();
        return;
    }
    for (QWidget *button : qAsConst(m_buttons))
        button->hide();
    for (QComboBox *box : qAsConst(m_selectorBoxes))
        box->hide();
}

void ParameterWindow::showSelectedDevice()
{
    m_hideTimer.stop();
    // The previous controller's values, marks and choices must not pass for the new one's.
    for (myEdit *edit : qAsConst(m_edits)) {
        edit->setLocked(false);
        setShownText(edit, QString(), true);
        edit->setStyleSheet(QString());
        edit->show();
    }
    m_highlighted = nullptr;
    setSelectorsBlank();
    for (QComboBox *box : qAsConst(m_selectorBoxes))
        box->show();
    for (QWidget *button : qAsConst(m_buttons))
        button->show();
    readSelected();
}

void ParameterWindow::readSelected()
{
    quint8 address = 0;
    if (!selectedAddress(&address))
        return;
    m_writtenSinceRead.clear();
    requestRead(address);
}

void ParameterWindow::setSelectorsBlank()
{
    for (int k = 0; k < m_selectorBoxes.size(); ++k)
        showChoice(k, -1);
}

void ParameterWindow::showChoice(int k, int item)
{
    m_shownItems[k] = item;
    QComboBox *box = m_selectorBoxes.at(k);
    const QSignalBlocker quiet(box);
    box->setCurrentIndex(item);
}

myEdit *ParameterWindow::changedSender(QObject *sender) const
{
    auto *edit = qobject_cast<myEdit *>(sender);
    if (!edit)
        return nullptr;
    // Qt reports every focus loss as finished editing; only the operator's own text is sent.
    const auto shown = m_shown.constFind(edit);
    if (!m_writeFailed.contains(edit) && shown != m_shown.constEnd() && *shown == edit->text())
        return nullptr;
    return edit;
}

std::optional<Write> ParameterWindow::checkedWrite(myEdit *edit)
{
    const Field *field = fieldOf(edit);
    if (!field || field->writeType == 0)
        return std::nullopt;
    // Focus loss commits too, and must send no more than Return would.
    edit->clampToRange(edit->text());
    const auto write = writeFor(*field, edit->text());
    if (!write)
        refuse(edit);
    return write;
}

void ParameterWindow::refuse(myEdit *edit)
{
    showInputError();
    showLastValue(edit);
}

void ParameterWindow::showLastValue(myEdit *edit)
{
    edit->setText(m_shown.value(edit));
}

bool ParameterWindow::confirmed(quint8 address, const QString &question)
{
    if (MessageBoxSeam::question(this, tr("提示"), question) != QMessageBox::Yes)
        return false;
    // A scan may have refilled the selector while the question was open.
    quint8 selected = 0;
    return selectedAddress(&selected) && selected == address;
}

bool ParameterWindow::confirmedCommand(quint8 address, const QString &command)
{
    return confirmed(address, tr("确定对设备%1执行“%2”吗？").arg(QString::number(address), command));
}

bool ParameterWindow::confirmedEntry(quint8 address, myEdit *edit, const QString &setting,
                                     const QString &value)
{
    const QString typed = edit->text();
    if (!confirmed(address, tr("确定将设备%1的%2改为%3吗？").arg(QString::number(address), setting, value))) {
        showLastValue(edit);
        return false;
    }
    // A read result shown while the question was open must not stand for the value now written.
    edit->setText(typed);
    return true;
}

bool ParameterWindow::confirmedChoice(quint8 address, QComboBox *combo, int index, const QString &setting)
{
    const int k = m_selectorBoxes.indexOf(combo);
    if (k < 0)
        return false;
    const QString question =
        tr("确定将设备%1的%2改为%3吗？").arg(QString::number(address), setting, combo->itemText(index));
    const bool yes = confirmed(address, question);
    showChoice(k, yes ? index : m_shownItems.at(k));
    return yes;
}

void ParameterWindow::showInputError()
{
    MessageBoxSeam::critical(this, m_look.errorTitle, m_look.errorText);
}

void ParameterWindow::send(quint8 address, const Write &write, myEdit *from)
{
    QList<quint8> &awaiting = m_awaiting[write.type];
    awaiting.removeAll(address);
    awaiting.append(address);
    m_writtenSinceRead.insert(write.type);
    if (from) {
        m_shown.insert(from, from->text());
        m_writeFailed.remove(from);
    }
    requestWrite(address, write);
}

void ParameterWindow::sendChoice(QComboBox *combo, int index)
{
    const int k = m_selectorBoxes.indexOf(combo);
    quint8 address = 0;
    if (k < 0 || !selectedAddress(&address))
        return;
    if (const auto write = writeFor(m_selectors.at(k), index)) {
        m_shownItems[k] = index;
        send(address, *write);
    }
}

void ParameterWindow::queueResult(const RegisterReply &reply)
{
    m_results.push([this, reply] { return showResult(reply); });
}

void ParameterWindow::queueResult(int code, int deviceId, const QByteArray &frame)
{
    queueResult(RegisterReply::fromFrame(code, quint8(deviceId), frame, ReadTime::now()));
}

void ParameterWindow::queueOutcome(bool success, int type, std::function<void()> onShown)
{
    // Outcomes carry no address: which write this one reports is known only as it arrives.
    const std::optional<quint8> writtenTo = takeWrittenTo(type);
    m_results.push([this, success, type, writtenTo, onShown] {
        markOutcome(success, type, writtenTo);
        if (onShown)
            onShown();
        return false;
    });
}

std::optional<quint8> ParameterWindow::takeWrittenTo(int type)
{
    QList<quint8> &awaiting = m_awaiting[type];
    if (awaiting.isEmpty())
        return std::nullopt;
    return awaiting.takeFirst();
}

bool ParameterWindow::isSelected(std::optional<quint8> writtenTo) const
{
    quint8 address = 0;
    return selectedAddress(&address) && (!writtenTo || *writtenTo == address);
}

const Field *ParameterWindow::fieldOf(const myEdit *edit) const
{
    const int k = m_edits.indexOf(const_cast<myEdit *>(edit));
    return k < 0 ? nullptr : &m_fields.at(k);
}

myEdit *ParameterWindow::editOfRead(int code) const
{
    for (int k = 0; k < m_fields.size(); ++k) {
        if (m_fields.at(k).readCode == code)
            return m_edits.at(k);
    }
    return nullptr;
}

int ParameterWindow::writeTypeOfRead(int code) const
{
    for (const Field &field : m_fields) {
        if (field.readCode == code)
            return field.writeType;
    }
    for (const Selector &selector : m_selectors) {
        if (selector.readCode == code)
            return selector.writeType;
    }
    return 0;
}

myEdit *ParameterWindow::editOfWrite(int type) const
{
    for (int k = 0; k < m_fields.size(); ++k) {
        if (m_fields.at(k).writeType == type)
            return m_edits.at(k);
    }
    return nullptr;
}

bool ParameterWindow::showResult(const RegisterReply &reply)
{
    // A result still on its way for the previously selected controller is not this one's value.
    quint8 address = 0;
    if (!selectedAddress(&address) || reply.deviceId != address)
        return false;
    const int code = reply.code;
    const int writeType = writeTypeOfRead(code);
    if (writeType != 0 && m_writtenSinceRead.contains(writeType))
        return false;
    for (int k = 0; k < m_selectors.size(); ++k) {
        if (m_selectors.at(k).readCode == code)
            showSelection(k, reply);
    }
    myEdit *edit = editOfRead(code);
    if (!edit)
        return false;
    const Field &field = *fieldOf(edit);
    const QString text = shownText(field.decoding, reply);
    if (text.isNull())
        return false;
    // A result the operator is typing over (the block read asked for on selection or refresh often
    // arrives late) keeps the typed text: a commit sends it unless it equals the value read.
    if (edit->hasFocus() && edit->text() != m_shown.value(edit)) {
        m_shown.insert(edit, text);
        m_writeFailed.remove(edit);
        return field.inTurn;
    }
    setShownText(edit, text, !m_look.lockRespectingSetter);
    if (m_highlighted)
        m_highlighted->setStyleSheet(QString());
    m_highlighted = field.inTurn ? edit : nullptr;
    if (m_highlighted)
        edit->setStyleSheet(readStyle);
    return field.inTurn;
}

void ParameterWindow::showSelection(int k, const RegisterReply &reply)
{
    const Selector &selector = m_selectors.at(k);
    if (!reply.isValid())
        return;
    rememberSelectorValue(selector.readCode, reply.asUint16);
    const int item = selector.itemValues.indexOf(reply.asUint16);
    if (item < 0)
        return;
    // Showing what the controller holds is no choice of the operator's: nothing is written.
    showChoice(k, item);
}

void ParameterWindow::markOutcome(bool success, int type, std::optional<quint8> writtenTo)
{
    myEdit *edit = editOfWrite(type);
    if (!edit || !isSelected(writtenTo))
        return;
    edit->setStyleSheet(success ? QString() : failedStyle);
    // The refused text stays in the field, not accepted: Return or focus loss sends it again.
    if (!success)
        m_writeFailed.insert(edit);
}

void ParameterWindow::setShownText(myEdit *edit, const QString &text, bool plainSetter)
{
    if (plainSetter)
        edit->setText(text);
    else
        edit->lockedSetText(text);
    m_shown.insert(edit, edit->text());
    m_writeFailed.remove(edit);
}
