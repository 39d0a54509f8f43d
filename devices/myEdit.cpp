#include "myEdit.h"
#include "Console.h"
#include "NumericText.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <cmath>

myEdit::myEdit(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, &myEdit::onTextChanged);
}

void myEdit::setMaxValue(float value)
{
    maximum = value;
}

void myEdit::setMinValue(float value)
{
    minimum = value;
}

void myEdit::setLocked(bool on)
{
    locked = on;
}

void myEdit::lockedSetText(const QString &text)
{
    if (!locked)
        setText(text);
}

void myEdit::clampToRange(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    // NaN compares false against both bounds and would otherwise stay in the field unclamped.
    if (!ok || std::isnan(value)) {
        Console::write(QStringLiteral("转换无效"));
        return;
    }
    if (value > maximum)
        setText(QString::number(double(maximum), 'g', 6));
    if (minimum > value)
        setText(QString::number(double(minimum), 'g', 6));
}

void myEdit::handleAdd()
{
    setText(NumericText::stepped(text(), +1));
}

void myEdit::handleSubtract()
{
    setText(NumericText::stepped(text(), -1));
}

void myEdit::onTextChanged(const QString &text)
{
    const QString stripped = NumericText::withoutLeadingZeros(text);
    if (stripped == text || locked)
        return;
    const bool wasBlocked = blockSignals(true);
    setText(stripped);
    setCursorPosition(stripped.size());
    blockSignals(wasBlocked);
}

bool myEdit::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ContextMenu:
        return true;
    case QEvent::Leave:
        if (hasFocus()) {
            Console::write(QStringLiteral("鼠标离开"));
            clampToRange(text());
            clearFocus();
        }
        break;
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::RightButton)
            commitOnRightPress(event);
        break;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Return) {
            commitOnReturn(event);
            return true;
        }
        break;
    default:
        break;
    }
    return QLineEdit::event(event);
}

void myEdit::commitOnRightPress(QEvent *event)
{
    end(false);
    clampToRange(text());
    clearFocus();
    event->accept();
}

void myEdit::commitOnReturn(QEvent *event)
{
    end(false);
    clampToRange(text());
    clearFocus();
    Console::write(QStringLiteral("鼠标回车"));
    event->accept();
}
