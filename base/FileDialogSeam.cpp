#include "FileDialogSeam.h"

#include <QFileDialog>
#include <QMutex>

namespace {
QMutex dialogHandlerMutex;
FileDialogSeam::Handler &installedDialogHandler()
{
    static FileDialogSeam::Handler handler;
    return handler;
}

QString ask(QWidget *parent, const FileDialogSeam::Request &request)
{
    FileDialogSeam::Handler handler;
    {
        QMutexLocker lock(&dialogHandlerMutex);
        handler = installedDialogHandler();
    }
    if (handler)
        return handler(parent, request);
    if (request.mode == FileDialogSeam::Mode::Open)
        return QFileDialog::getOpenFileName(parent, request.caption, request.directory, request.filter);
    return QFileDialog::getSaveFileName(parent, request.caption, request.directory, request.filter);
}
} // namespace

QString FileDialogSeam::getOpenFileName(QWidget *parent, const QString &caption, const QString &directory,
                                        const QString &filter)
{
    return ask(parent, {Mode::Open, caption, directory, filter});
}

QString FileDialogSeam::getSaveFileName(QWidget *parent, const QString &caption, const QString &directory,
                                        const QString &filter)
{
    return ask(parent, {Mode::Save, caption, directory, filter});
}

void FileDialogSeam::setHandler(Handler handler)
{
    QMutexLocker lock(&dialogHandlerMutex);
    installedDialogHandler() = std::move(handler);
}

void FileDialogSeam::reset()
{
    setHandler(nullptr);
}
