#include "MainWindowPlacement.h"
#include "mainWnd.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    mainWnd window;
    placeMainWindow(&window, QGuiApplication::primaryScreen()->geometry());
    return app.exec();
}
