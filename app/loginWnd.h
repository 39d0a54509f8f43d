#pragma once

#include <QWidget>

namespace Ui {
class loginWnd;
}

// Asks for one of the two fixed passwords and reports whether it matched; the main window decides
// what a match opens. Mode true guards the developer's debug window, false the administrator's
// parameter window.
class loginWnd : public QWidget
{
    Q_OBJECT
public:
    explicit loginWnd(QWidget *parent = nullptr, bool mode = false);
    ~loginWnd() override;

    bool isDeveloperMode() const { return m_mode; }

signals:
    // The parameter is true when the password matched.
    void requestDevp(bool invalid);
    void requestLogin(bool invalid);
    void loginDevelopment(bool invalid);

public slots:
    void slot_clearMessage();

private slots:
    void on_pushButton_clicked();

private:
    void checkPassword();

    Ui::loginWnd *ui;
    bool m_mode;
};
