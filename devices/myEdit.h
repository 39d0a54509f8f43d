#pragma once

#include <QLineEdit>

// Numeric field of the parameter windows: clamps its text into [minimum, maximum] when the
// operator commits it (Return, right click, or the pointer leaving the focused field).
class myEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit myEdit(QWidget *parent = nullptr);

    void setMaxValue(float value);
    void setMinValue(float value);
    float maxValue() const { return maximum; }
    float minValue() const { return minimum; }
    void setLocked(bool on);
    bool isLocked() const { return locked; }
    void lockedSetText(const QString &text);
    void clampToRange(const QString &text);

signals:
    void mouseMove(float value);

public slots:
    void handleAdd();
    void handleSubtract();
    void onTextChanged(const QString &text);

protected:
    bool event(QEvent *event) override;

private:
    void commitOnRightPress(QEvent *event);
    void commitOnReturn(QEvent *event);

    bool locked = false;
    float maximum = 999999;
    float minimum = 0;
};
