#include "loginWnd.h"

#include "AdminPassword.h"
#include "ui_loginWnd.h"

namespace {
const QString developerPassword = QStringLiteral("guest4817");

// Left of the label is free: a longer translation widens it leftwards, its right edge staying
// beside the field it names. Only what even that room cannot hold is elided, whole in the tooltip.
constexpr int kWindowEdge = 10;

void fitToWidth(QLabel *label)
{
    const QString caption = label->text();
    const int frame = label->width() - label->contentsRect().width() + 2 * label->margin();
    const int needed = label->fontMetrics().horizontalAdvance(caption) + frame;
    if (needed <= label->width())
        return;
    QRect area = label->geometry();
    area.setLeft(qMax(kWindowEdge, area.right() + 1 - needed));
    label->setGeometry(area);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
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
