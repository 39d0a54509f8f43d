#pragma once

#include <QString>
#include <functional>

class QWidget;

// Every file dialog of the application opens through here, so that tests can answer it.
class FileDialogSeam
{
public:
    enum class Mode
    {
        Open,
        Save
    };
    struct Request
    {
        Mode mode;
        QString caption;
        QString directory;
        QString filter;
    };
    // Returns the chosen path, or an empty string when the operator cancels.
    using Handler = std::function<QString(QWidget *parent, const Request &request)>;

    static QString getOpenFileName(QWidget *parent, const QString &caption, const QString &directory,
                                   const QString &filter);
    static QString getSaveFileName(QWidget *parent, const QString &caption, const QString &directory,
                                   const QString &filter);
    static void setHandler(Handler handler);
    static void reset();
};
