#include "Language.h"
#include "MainWindowPlacement.h"
#include "WidgetReport.h"
#include "WorkspaceWiring.h"
#include "mainWnd.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {
// What the command line asks for besides the window: nothing, the last workspace, or a port.
struct StartRequest
{
    bool restoreWorkspace = false;
    QString port; // with connect: open it, scan and take online every controller that answers
    int baud = 9600;
};

// Exits with code 2 and one line on the error stream for a command line that is refused.
[[noreturn]] void refuse(const QString &message)
{
    std::fprintf(stderr, "quorix-rs485: %s\n", qPrintable(message));
    std::exit(2);
}

StartRequest parseArguments(const QApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Runs a bus of QUORIX mass flow controllers over an RS485 line."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption restore(QStringLiteral("restore-workspace"),
                                     QStringLiteral("Opens the port of the last workspace, scans and takes its "
                                                    "controllers online, as its offer in the window does."));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("The serial port to open with --connect."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption baud(QStringLiteral("baud"), QStringLiteral("Its baud rate (default 9600)."),
                                  QStringLiteral("N"), QStringLiteral("9600"));
    const QCommandLineOption connectPort(QStringLiteral("connect"),
                                         QStringLiteral("Opens --port, scans and takes every controller that "
                                                        "answers online."));
    parser.addOptions({restore, port, baud, connectPort});
    if (!parser.parse(app.arguments()))
        refuse(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        refuse(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));
    StartRequest request;
    request.restoreWorkspace = parser.isSet(restore);
    bool whole = false;
    request.baud = parser.value(baud).toInt(&whole);
    if (!whole || request.baud <= 0)
        refuse(QStringLiteral("bad value for --baud: %1").arg(parser.value(baud)));
    if (parser.isSet(connectPort) != parser.isSet(port))
        refuse(QStringLiteral("--connect and --port go together"));
    if (parser.isSet(connectPort) && request.restoreWorkspace)
        refuse(QStringLiteral("--connect and --restore-workspace exclude each other"));
    if (parser.isSet(connectPort))
        request.port = parser.value(port);
    return request;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORIX_VERSION_TEXT));
    const StartRequest request = parseArguments(app);
    app.setWindowIcon(QIcon(QCoreApplication::applicationDirPath() + "/icons/quorix-rs485.png"));
    Language::installChosen(&app);
    mainWnd window;
    placeMainWindow(&window, QGuiApplication::primaryScreen()->geometry());
    const std::unique_ptr<WidgetReport> testReport =
        WidgetReport::fromEnvironment(); // off unless a test asks
    // Once the window is on the screen: its notices have a parent to stand over.
    if (request.restoreWorkspace)
        QTimer::singleShot(0, window.workspace(), &WorkspaceWiring::restore);
    else if (!request.port.isEmpty())
        QTimer::singleShot(0, window.workspace(),
                           [&window, request] { window.workspace()->connectTo(request.port, request.baud); });
    return app.exec();
}
