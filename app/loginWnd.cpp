#include "loginWnd.h"

#include "ui_loginWnd.h"

namespace {
const QString developerPassword = QStringLiteral("guest4817");
const QString adminPassword = QStringLiteral("guest902731");
} // namespace

loginWnd::loginWnd(QWidget *parent, bool mode) : QWidget(parent), ui(new Ui::loginWnd), m_mode(mode)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    connect(ui->edit_password, &passwordEdit::sig_onreturn, this, &loginWnd::checkPassword,
            Qt::DirectConnection);
}

loginWnd::~loginWnd()
{
    delete ui;
}

void loginWnd::slot_clearMessage()
{
    ui->edit_password->clear();
}

void loginWnd::on_pushButton_clicked()
{
    checkPassword();
}

void loginWnd::checkPassword()
{
    // Compared whole and case-sensitively: a stray blank is a wrong password.
    const QString typed = ui->edit_password->text();
    if (m_mode)
        emit requestDevp(typed == developerPassword);
    else
        emit requestLogin(typed == adminPassword);
}
