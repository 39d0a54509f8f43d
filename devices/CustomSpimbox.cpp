#include "CustomSpimbox.h"
#include "NumericText.h"
#include "ui_CustomSpimbox.h"

#include <QKeyEvent>
#include <QLabel>
#include <QScopedValueRollback>
#include <cmath>

namespace {
const QString kWriteFailedMark = QStringLiteral("background-color: yellow;");
} // namespace

CustomSpimbox::CustomSpimbox(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::CustomSpimbox>())
{
    ui->setupUi(this);
    setAttribute(Qt::WA_TranslucentBackground);
    connect(ui->lineEdit, &QLineEdit::textChanged, this, &CustomSpimbox::adjustValue);
    show();
    ui->lineEdit->installEventFilter(this);
}

CustomSpimbox::~CustomSpimbox() = default;

void CustomSpimbox::showTarget(const QString &text, const QString &tooltip)
{
    if (!m_target) {
        m_target = new QLabel(this);
        m_target->setObjectName(QStringLiteral("label_target"));
        m_target->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_target->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_target->setStyleSheet(QStringLiteral("color: gray;"));
        QFont small = m_target->font();
        small.setPointSizeF(small.pointSizeF() * 0.8);
        m_target->setFont(small);
    }
    const QRect field = ui->lineEdit->geometry();
    m_target->setGeometry(field.x(), field.y(), field.width() - 3, field.height());
    m_target->setText(text);
    m_target->setVisible(!text.isEmpty());
    m_target->raise();
    ui->lineEdit->setToolTip(tooltip);
}

QString CustomSpimbox::targetText() const
{
    return m_target && m_target->isVisible() ? m_target->text() : QString();
}

void CustomSpimbox::setValueText(const QString &text)
{
    settledText = text;
    ui->lineEdit->setText(text);
}

bool CustomSpimbox::operatorIsTyping() const
{
    return ui->lineEdit->hasFocus() && ui->lineEdit->isModified();
}

void CustomSpimbox::showReadBack(const QString &text)
{
    settledText = text;
    if (operatorIsTyping())
        return;
    ui->lineEdit->setText(text);
}

void CustomSpimbox::confirmWrite(const QString &text)
{
    showReadBack(text);
    clearWriteFailedMark();
}

// The mark sits on the line edit itself: the widget's own style sheet carries the control mode.
void CustomSpimbox::markWriteFailed()
{
    ui->lineEdit->setStyleSheet(kWriteFailedMark);
    if (!operatorIsTyping())
        ui->lineEdit->clear();
}

void CustomSpimbox::clearWriteFailedMark()
{
    ui->lineEdit->setStyleSheet(QString());
}

bool CustomSpimbox::hasWriteFailedMark() const
{
    return ui->lineEdit->styleSheet() == kWriteFailedMark;
}

void CustomSpimbox::restoreSettledText()
{
    ui->lineEdit->setText(settledText);
}

QString CustomSpimbox::valueText() const
{
    return ui->lineEdit->text();
}

void CustomSpimbox::setReadOnlyState(bool on)
{
    ui->lineEdit->setReadOnly(on);
    readOnly = on;
}

void CustomSpimbox::clearEntryFocus()
{
    ui->lineEdit->clearFocus();
}

void CustomSpimbox::adjustValue(const QString &text)
{
    const QString stripped = NumericText::withoutLeadingZeros(text);
    if (stripped == text)
        return;
    const bool wasBlocked = ui->lineEdit->blockSignals(true);
    ui->lineEdit->setText(stripped);
    ui->lineEdit->setCursorPosition(stripped.size());
    ui->lineEdit->blockSignals(wasBlocked);
}

void CustomSpimbox::handleAdd()
{
    ui->lineEdit->setText(NumericText::stepped(ui->lineEdit->text(), +1));
}

void CustomSpimbox::handleSubtract()
{
    ui->lineEdit->setText(NumericText::stepped(ui->lineEdit->text(), -1));
}

void CustomSpimbox::on_pushButton_clicked()
{
    if (!readOnly)
        handleAdd();
}

void CustomSpimbox::on_pushButton_2_clicked()
{
    if (!readOnly)
        handleSubtract();
}

bool CustomSpimbox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != ui->lineEdit || readOnly)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ContextMenu:
        return true;
    case QEvent::Leave:
        return commitOnLeave();
    case QEvent::KeyPress:
        return commitOnKey(static_cast<QKeyEvent *>(event)->key());
    default:
        return QWidget::eventFilter(watched, event);
    }
}

// "nan" and "inf" parse as numbers but are no setpoint a controller can take.
bool CustomSpimbox::committedValue(float *value) const
{
    bool ok = false;
    *value = ui->lineEdit->text().toFloat(&ok);
    return ok && std::isfinite(*value);
}

bool CustomSpimbox::commitOnLeave()
{
    if (!ui->lineEdit->hasFocus())
        return true;
    float value = 0;
    if (committedValue(&value)) {
        ui->lineEdit->clearFocus();
        commit(value);
    }
    return false;
}

bool CustomSpimbox::commitOnKey(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    float value = 0;
    if (committedValue(&value)) {
        commit(value);
        ui->lineEdit->clearFocus();
    }
    return true;
}

void CustomSpimbox::commit(float value)
{
    if (committing)
        return;
    QScopedValueRollback<bool> handingOver(committing, true);
    emit setFlowValue(value);
}
