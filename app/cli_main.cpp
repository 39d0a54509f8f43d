// quorix-cli: scripts and diagnoses a controller bus without a display.

#include "BackupCli.h"
#include "BridgeCli.h"
#include "BridgeLog.h"
#include "BusCli.h"
#include "Language.h"
#include "MixCli.h"
#include "RampCli.h"

#include <QCoreApplication>
#include <QTextStream>
#include <clocale>
#include <cstdio>

namespace {

// The worker logs every exchange; the tool shows that log on standard error only with --verbose.
void quietHandler(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    fprintf(stderr, "%s\n", qPrintable(text));
}

void verboseHandler(QtMsgType, const QMessageLogContext &, const QString &text)
{
    fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The tool's messages are English, whatever the locale: the system's texts behind a port's
    // error too. Numbers and text encoding keep following the locale.
    std::setlocale(LC_MESSAGES, "C");
    // The bridge's lines too, and the reasons the bench model gives, which the windows show translated.
    BridgeLog::speakEnglish();
    Language::install(&app, UiLanguage::English);
    QStringList args = app.arguments();
    args.removeFirst();
    qInstallMessageHandler(args.contains(QStringLiteral("--verbose")) ? verboseHandler : quietHandler);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (BridgeCli::wants(args))
        return BridgeCli(out, err).run(args);
    if (BackupCli::wants(args))
        return BackupCli(out, err).run(args);
    if (RampCli::wants(args))
        return RampCli(out, err).run(args);
    if (MixCli::wants(args))
        return MixCli(out, err).run(args);
    BusCli cli(out, err);
    return cli.run(args);
}
