#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class QLabel;

class CustomSpimbox;
}

// Setpoint entry: a line edit with "+" and "-" that steps in the last shown decimal place. A value
// leaves the widget only when the operator commits it (Enter, or the pointer leaving the focused
// field), never while typing.
class CustomSpimbox : public QWidget
{
    Q_OBJECT

public:
    explicit CustomSpimbox(QWidget *parent = nullptr);
    ~CustomSpimbox() override;

    // The program's own text for the field (a value, or nothing); a refused entry returns to it.
    void setValueText(const QString &text);
    // A value read back from the controller. It waits while the operator is typing into the field
    // (focused, text changed by hand), so a read-back never replaces what is about to be committed.
    // A refused entry returns to it.
    void showReadBack(const QString &text);
    // The controller echoed a write of this value: shown as a read-back is (an older read-back that
    // arrived meanwhile gives way to it), a refused entry returns to it, and the mark of an earlier
    // failed write goes.
    void confirmWrite(const QString &text);
    // A write of the field never reached the controller: the field turns yellow and empties (unless
    // the operator is typing into it), until a later write is confirmed.
    void markWriteFailed();
    void clearWriteFailedMark();
    bool hasWriteFailedMark() const;
    // Puts back the last value the program showed or the controller confirmed.
    void restoreSettledText();
    QString valueText() const;
    void setReadOnlyState(bool on);
    bool isReadOnlyState() const { return readOnly; }
    void clearEntryFocus();
    // Where a ramp is heading ("→ 120"), small at the field's right end, with the ramp's progress as
    // the field's tooltip; an empty text takes both away.
    void showTarget(const QString &text, const QString &tooltip);
    QString targetText() const;

signals:
    void setFlowValue(float value);

public slots:
    void adjustValue(const QString &text);
    void handleAdd();
    void handleSubtract();
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *m_target = nullptr;
    bool committedValue(float *value) const;
    bool commitOnLeave();
    bool commitOnKey(int key);
    void commit(float value);
    bool operatorIsTyping() const;

    std::unique_ptr<Ui::CustomSpimbox> ui;
    bool readOnly = false;
    // Set while a committed value is handed over: a box opened by a receiver takes the pointer out
    // of the still focused field, and that must not commit the same text a second time.
    bool committing = false;
    QString settledText;
};
