#include "loginWnd.h"

#include "AdminPassword.h"
#include "ui_loginWnd.h"

namespace {
const QString developerPassword = QStringLiteral("guest4817");

// The label keeps the width the Chinese caption was laid out for; a longer translation is elided
// there and shown whole in the tooltip.
void fitToWidth(QLabel *label)
{
    const QString caption = label->text();
    const int room = label->contentsRect().width() - 2 * label->margin();
    const QString elided = label->fontMetrics().elidedText(caption, Qt::ElideRight, room);
    if (elided == caption)
        return;
    label->setText(elided);
    label->setToolTip(caption);
}
} // namespace

loginWnd::loginWnd(QWidget *parent, bool mode) : QWidget(parent), ui(new Ui::loginWnd), m_mode(mode)
{
    ui->setupUi(this);
    fitToWidth(ui->label_2);
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
        emit requestLogin(AdminPassword::matches(typed));
}
