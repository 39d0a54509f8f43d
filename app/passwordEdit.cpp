#include "passwordEdit.h"

#include <QCoreApplication>
#include <QDir>
#include <QIcon>
#include <QKeyEvent>
#include <QPushButton>

namespace {
constexpr int eyeWidth = 25;
constexpr int eyeHeight = 30;
constexpr int initialEyeX = 144;

QString iconPath(const QString &name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("icons/") + name);
}
} // namespace

passwordEdit::passwordEdit(QWidget *parent)
    : QLineEdit(parent), m_eye(new QPushButton(this)), m_showIcon(showIconPath()), m_hideIcon(hideIconPath())
{
    m_eye->setIcon(QIcon(m_hideIcon));
    m_eye->setIconSize(QSize(32, 32));
    m_eye->setFlat(true);
    m_eye->setCursor(Qt::ArrowCursor);
    // Clicking the eye must not take the focus away from the typed password.
    m_eye->setFocusPolicy(Qt::NoFocus);
    // A hidden field receives its first resize event only when shown; until then the button sits
    // where the login window's 170-pixel field wants it, one pixel short of the right edge.
    m_eye->setGeometry(initialEyeX, 0, eyeWidth, eyeHeight);
    setTextMargins(0, 0, eyeWidth + 1, 0);
    setEchoMode(QLineEdit::Password);
    connect(m_eye, &QPushButton::clicked, this, &passwordEdit::changeStauas);
}

QString passwordEdit::showIconPath()
{
    return iconPath(QStringLiteral("show.png"));
}

QString passwordEdit::hideIconPath()
{
    return iconPath(QStringLiteral("hide.png"));
}

void passwordEdit::changeStauas()
{
    if (m_state == Hidden) {
        m_eye->setIcon(QIcon(m_showIcon));
        setEchoMode(QLineEdit::Normal);
        m_state = Shown;
    } else {
        m_eye->setIcon(QIcon(m_hideIcon));
        setEchoMode(QLineEdit::Password);
        m_state = Hidden;
    }
}

void passwordEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        emit sig_onreturn();
    QLineEdit::keyPressEvent(event);
}

void passwordEdit::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    // One pixel short of the right edge keeps the field's frame visible beside the button.
    m_eye->move(width() - eyeWidth - 1, 0);
}
