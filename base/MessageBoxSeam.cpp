#include "MessageBoxSeam.h"

#include <QMutex>

namespace {
QMutex handlerMutex;
MessageBoxSeam::Handler &installedHandler()
{
    static MessageBoxSeam::Handler handler;
    return handler;
}
} // namespace

QMessageBox::StandardButton MessageBoxSeam::information(QWidget *parent, const QString &title,
                                                        const QString &text)
{
    return show(parent, {Kind::Information, title, text});
}

QMessageBox::StandardButton MessageBoxSeam::warning(QWidget *parent, const QString &title,
                                                    const QString &text)
{
    return show(parent, {Kind::Warning, title, text});
}

QMessageBox::StandardButton MessageBoxSeam::critical(QWidget *parent, const QString &title,
                                                     const QString &text)
{
    return show(parent, {Kind::Critical, title, text});
}

QMessageBox::StandardButton MessageBoxSeam::question(QWidget *parent, const QString &title,
                                                     const QString &text)
{
    return show(parent, {Kind::Question, title, text});
}

void MessageBoxSeam::setHandler(Handler handler)
{
    QMutexLocker lock(&handlerMutex);
    installedHandler() = std::move(handler);
}

void MessageBoxSeam::reset()
{
    setHandler(nullptr);
}

QMessageBox::StandardButton MessageBoxSeam::show(QWidget *parent, const Box &box)
{
    Handler handler;
    {
        QMutexLocker lock(&handlerMutex);
        handler = installedHandler();
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
        return QMessageBox::question(parent, box.title, box.text, QMessageBox::Yes | QMessageBox::No);
    }
    return QMessageBox::NoButton;
}
