#include "MessageBoxSeam.h"

#include <QMutex>
#include <QPushButton>

namespace {
QMutex boxHandlerMutex;
MessageBoxSeam::Handler &installedBoxHandler()
{
    static MessageBoxSeam::Handler handler;
    return handler;
}
} // namespace

QMessageBox::StandardButton MessageBoxSeam::information(QWidget *parent, const QString &title,
                                                        const QString &text)
{
    return show(parent, {Kind::Information, title, text, {}});
}

QMessageBox::StandardButton MessageBoxSeam::warning(QWidget *parent, const QString &title,
                                                    const QString &text)
{
    return show(parent, {Kind::Warning, title, text, {}});
}

QMessageBox::StandardButton MessageBoxSeam::critical(QWidget *parent, const QString &title,
                                                     const QString &text)
{
    return show(parent, {Kind::Critical, title, text, {}});
}

QMessageBox::StandardButton MessageBoxSeam::question(QWidget *parent, const QString &title,
                                                     const QString &text)
{
    return show(parent, {Kind::Question, title, text, {}});
}

QMessageBox::StandardButton MessageBoxSeam::question(QWidget *parent, const QString &title,
                                                     const QString &text, const QString &yesCaption,
                                                     const QString &noCaption)
{
    return show(parent, {Kind::Question, title, text, {yesCaption, noCaption}});
}

// The box with the two captions; Escape and the title bar's close answer as the second button.
QMessageBox::StandardButton MessageBoxSeam::askWithCaptions(QWidget *parent, const Box &box)
{
    QMessageBox question(QMessageBox::Question, box.title, box.text, QMessageBox::NoButton, parent);
    QPushButton *yes = question.addButton(box.buttons.at(0), QMessageBox::AcceptRole);
    QPushButton *no = question.addButton(box.buttons.at(1), QMessageBox::RejectRole);
    question.setDefaultButton(no);
    question.setEscapeButton(no);
    question.exec();
    return question.clickedButton() == yes ? QMessageBox::Yes : QMessageBox::No;
}

void MessageBoxSeam::setHandler(Handler handler)
{
    QMutexLocker lock(&boxHandlerMutex);
    installedBoxHandler() = std::move(handler);
}

void MessageBoxSeam::reset()
{
    setHandler(nullptr);
}

QMessageBox::StandardButton MessageBoxSeam::show(QWidget *parent, const Box &box)
{
    Handler handler;
    {
        QMutexLocker lock(&boxHandlerMutex);
        handler = installedBoxHandler();
    }
    if (handler)
        return handler(parent, box);
    switch (box.kind) {
    case Kind::Information:
        return QMessageBox::information(parent, box.title, box.text, QMessageBox::Ok);
    case Kind::Warning:
        return QMessageBox::warning(parent, box.title, box.text, QMessageBox::Ok);
    case Kind::Critical:
        return QMessageBox::critical(parent, box.title, box.text, QMessageBox::Ok);
    case Kind::Question:
        if (box.buttons.size() == 2)
            return askWithCaptions(parent, box);
        return QMessageBox::question(parent, box.title, box.text, QMessageBox::Yes | QMessageBox::No);
    }
    return QMessageBox::NoButton;
}
