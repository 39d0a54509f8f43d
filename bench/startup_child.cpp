// Started by bench_startup: builds either the full main window or an empty QMainWindow, shows it,
// and prints "shown <peak resident kB>" once the window is exposed, then exits.

#include "MainWindowPlacement.h"
#include "mainWnd.h"

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace {
long peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const auto match =
        QRegularExpression(QStringLiteral("VmHWM:\\s+(\\d+)")).match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool full = argc > 1 && QByteArray(argv[1]) == "app";
    std::unique_ptr<QMainWindow> window;
    if (full)
        window = std::make_unique<mainWnd>();
    else
        window = std::make_unique<QMainWindow>();
    placeMainWindow(window.get(), QGuiApplication::primaryScreen()->geometry());
    // The first pass of the event loop after show() paints the window.
    QTimer::singleShot(0, [] {
        std::printf("shown %ld\n", peakResidentKb());
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return app.exec();
}
