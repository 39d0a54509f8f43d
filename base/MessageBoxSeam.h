#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

// Every modal message box of the application opens through here, so that tests can answer the
// box without a person and still check its title and text (install a handler; reset() removes it).
class MessageBoxSeam
{
public:
    enum class Kind
    {
        Information,
        Warning,
        Critical,
        Question
    };
    struct Box
    {
        Kind kind;
        QString title;
        QString text;
    };
    using Handler = std::function<QMessageBox::StandardButton(QWidget *parent, const Box &box)>;

    static QMessageBox::StandardButton information(QWidget *parent, const QString &title,
                                                   const QString &text);
    static QMessageBox::StandardButton warning(QWidget *parent, const QString &title, const QString &text);
    static QMessageBox::StandardButton critical(QWidget *parent, const QString &title, const QString &text);
    // Yes/No question; answers Yes or No.
    static QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text);

    static void setHandler(Handler handler);
    static void reset();

private:
    static QMessageBox::StandardButton show(QWidget *parent, const Box &box);
};
