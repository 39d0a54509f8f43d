#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
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

    void setValueText(const QString &text);
    // A value read back from the controller. It waits while the operator is typing into the field
    // (focused, text changed by hand), so a read-back never replaces what is about to be committed.
    void showReadBack(const QString &text);
    QString valueText() const;
    void setReadOnlyState(bool on);
    bool isReadOnlyState() const { return readOnly; }
    void clearEntryFocus();

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
    bool committedValue(float *value) const;
    bool commitOnLeave();
    bool commitOnKey(int key);

    std::unique_ptr<Ui::CustomSpimbox> ui;
    bool readOnly = false;
};
