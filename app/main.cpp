#include "Language.h"
#include "MainWindowPlacement.h"
#include "WidgetReport.h"
#include "mainWnd.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QCoreApplication::applicationDirPath() + "/icons/quorix-rs485.png"));
    Language::installChosen(&app);
    mainWnd window;
    placeMainWindow(&window, QGuiApplication::primaryScreen()->geometry());
    const std::unique_ptr<WidgetReport> testReport =
        WidgetReport::fromEnvironment(); // off unless a test asks
    return app.exec();
}
