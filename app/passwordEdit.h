#pragma once

#include <QLineEdit>

class QPushButton;

// A password field with an eye button inside it that shows or hides the typed text.
class passwordEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit passwordEdit(QWidget *parent = nullptr);

    QPushButton *eyeButton() const { return m_eye; }
    static QString showIconPath();
    static QString hideIconPath();

signals:
    void sig_onreturn();

public slots:
    void changeStauas();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    enum State
    {
        Hidden = 1,
        Shown = 2
    };

    QPushButton *m_eye;
    int m_state = Hidden;
    QString m_showIcon;
    QString m_hideIcon;
};
