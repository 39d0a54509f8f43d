#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
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
        QStringList buttons; // the captions of a question that names its own buttons, else empty
    };
    using Handler = std::function<QMessageBox::StandardButton(QWidget *parent, const Box &box)>;

    static QMessageBox::StandardButton information(QWidget *parent, const QString &title,
                                                   const QString &text);
    static QMessageBox::StandardButton warning(QWidget *parent, const QString &title, const QString &text);
    static QMessageBox::StandardButton critical(QWidget *parent, const QString &title, const QString &text);
    // Yes/No question; answers Yes or No.
    static QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text);
    // A question whose two buttons carry their own captions: answers Yes for yesCaption, No for
    // noCaption or when the box is closed otherwise. A handler sees both captions in Box::buttons.
    static QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                                const QString &yesCaption, const QString &noCaption);

    static void setHandler(Handler handler);
    static void reset();

private:
    static QMessageBox::StandardButton show(QWidget *parent, const Box &box);
    static QMessageBox::StandardButton askWithCaptions(QWidget *parent, const Box &box);
};
