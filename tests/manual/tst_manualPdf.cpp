// The manual as the build renders it: its text must come back out of the PDF (a character drawn as
// an empty box does not), and the renderer must refuse, writing nothing, where no available font
// can draw a character of the document.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Rendering the whole manual takes seconds; a sanitizer build on a loaded machine many more.
constexpr int kProcessMs = 180000;
const QString kFontPackage = QStringLiteral("fonts-wqy-microhei");

struct Run
{
    bool finished = false;
    int exitCode = -1;
    QString output;
    QString errors;
};

Run runTool(const QString &program, const QStringList &arguments,
            const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run run;
    run.finished = process.waitForStarted(kProcessMs) && process.waitForFinished(kProcessMs) &&
                   process.exitStatus() == QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.output = QString::fromUtf8(process.readAllStandardOutput());
    run.errors = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString withoutBlanks(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\s")));
}

// The font files fontconfig knows for Latin text but not for Chinese: a machine without a Chinese
// font has these.
QStringList latinOnlyFontFiles()
{
    const QString format = QStringLiteral("%{file}\n");
    const Run latin = runTool(QStringLiteral("fc-list"), {QStringLiteral("--format"), format, QStringLiteral(":lang=en")});
    const Run chinese = runTool(QStringLiteral("fc-list"), {QStringLiteral("--format"), format, QStringLiteral(":lang=zh-cn")});
    const QStringList chineseFiles = chinese.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList files;
    for (const QString &file : latin.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!chineseFiles.contains(file) && !files.contains(file))
            files << file;
    return files;
}
} // namespace

class tst_manualPdf : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void builtManualHoldsChineseCaptions_data();
    void builtManualHoldsChineseCaptions();
    void renderingNeedsAFontForEveryCharacter_data();
    void renderingNeedsAFontForEveryCharacter();

private:
    QProcessEnvironment renderEnvironment(bool latinFontsOnly) const;

    QTemporaryDir m_dir;
    QString m_builtManualText;
    QString m_latinFontsConfig;
};

void tst_manualPdf::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const Run text = runTool(QStringLiteral("pdftotext"),
                             {QStringLiteral("-enc"), QStringLiteral("UTF-8"), QStringLiteral(QUORIX_MANUAL_PDF),
                              QStringLiteral("-")});
    QVERIFY2(text.finished, "pdftotext did not run; install poppler-utils (scripts/setup.sh installs it)");
    QVERIFY2(text.exitCode == 0, qPrintable(text.errors));
    m_builtManualText = withoutBlanks(text.output);

    const QStringList latinFonts = latinOnlyFontFiles();
    QVERIFY2(!latinFonts.isEmpty(), "fc-list names no font without Chinese (fontconfig, fonts-dejavu-core)");
    const QDir fontDir(m_dir.filePath(QStringLiteral("latin-fonts")));
    QVERIFY(QDir().mkpath(fontDir.path()));
    for (const QString &font : latinFonts)
        QVERIFY(QFile::link(font, fontDir.filePath(QFileInfo(font).fileName())));
    // The system's rules stay (which family "monospace" means, say); only the fonts are fewer.
    m_latinFontsConfig = m_dir.filePath(QStringLiteral("fonts.conf"));
    QFile config(m_latinFontsConfig);
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral("<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                                "<fontconfig><dir>%1</dir><cachedir>%2</cachedir>"
                                "<include ignore_missing=\"yes\">/etc/fonts/conf.d</include></fontconfig>\n")
                     .arg(fontDir.path(), m_dir.filePath(QStringLiteral("fc-cache")))
                     .toUtf8());
}

QProcessEnvironment tst_manualPdf::renderEnvironment(bool latinFontsOnly) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // As at build time: Qt keeps a few allocations to the end of the process.
    const QString sanitizer = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       (sanitizer.isEmpty() ? QString() : sanitizer + QLatin1Char(':')) +
                           QStringLiteral("detect_leaks=0"));
    if (latinFontsOnly)
        environment.insert(QStringLiteral("FONTCONFIG_FILE"), m_latinFontsConfig);
    return environment;
}

void tst_manualPdf::builtManualHoldsChineseCaptions_data()
{
    QTest::addColumn<QString>("caption");
    QTest::newRow("title") << QStringLiteral("QUORIXRS485操作说明书");
    QTest::newRow("help menu entry") << QStringLiteral("软件说明书");
    QTest::newRow("first tab") << QStringLiteral("设备管理");
    QTest::newRow("scan entry") << QStringLiteral("查询设备");
    QTest::newRow("serial dialog title") << QStringLiteral("串口通信参数设置");
    QTest::newRow("loss window") << QStringLiteral("丢包统计");
    QTest::newRow("diagnostics window") << QStringLiteral("通信诊断");
    QTest::newRow("temperature unit") << QStringLiteral("°C");
}

void tst_manualPdf::builtManualHoldsChineseCaptions()
{
    QFETCH(QString, caption);
    QVERIFY2(m_builtManualText.contains(caption),
             qPrintable(QStringLiteral("\"%1\" is not in the text of the built manual, which begins: %2")
                            .arg(caption, m_builtManualText.left(200))));
}

void tst_manualPdf::renderingNeedsAFontForEveryCharacter_data()
{
    QTest::addColumn<QString>("markdown");
    QTest::addColumn<bool>("latinFontsOnly");
    QTest::addColumn<QString>("missingNamed"); // empty: the rendering succeeds

    QFile manual(QStringLiteral(QUORIX_MANUAL_SOURCE));
    QVERIFY(manual.open(QIODevice::ReadOnly));
    const QString manualText = QString::fromUtf8(manual.readAll());
    // Private use, beyond 16 bits: no font assigns them glyphs, and each is a pair of QChars.
    const uint outsideEveryFont[] = {0xF0000, 0xF0001};
    const QString unknownCharacters = QString::fromUcs4(outsideEveryFont, 2);
    QTest::newRow("the manual without a Chinese font") << manualText << true << QStringLiteral("操作说明书");
    QTest::newRow("the manual with the installed fonts") << manualText << false << QString();
    QTest::newRow("Latin text without a Chinese font")
        << QStringLiteral("# Manual\n\nFlow 20 sccm at 25 °C, `quorix-sim`.\n") << true << QString();
    QTest::newRow("characters no installed font has")
        << QStringLiteral("# 说明书\n\n温度 ") + unknownCharacters << false << unknownCharacters;
}

void tst_manualPdf::renderingNeedsAFontForEveryCharacter()
{
    QFETCH(QString, markdown);
    QFETCH(bool, latinFontsOnly);
    QFETCH(QString, missingNamed);
    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString source = work.filePath(QStringLiteral("manual.md"));
    const QString pdf = work.filePath(QStringLiteral("manual.pdf"));
    QFile sourceFile(source);
    QVERIFY(sourceFile.open(QIODevice::WriteOnly));
    sourceFile.write(markdown.toUtf8());
    sourceFile.close();
    // Images of the manual are looked up beside the Markdown file.
    QVERIFY(QFile::link(QFileInfo(QStringLiteral(QUORIX_MANUAL_SOURCE)).absoluteDir().filePath(QStringLiteral("images")),
                        work.filePath(QStringLiteral("images"))));
    // Stands for the manual of an earlier build, which a failed one must not leave behind.
    QFile earlier(pdf);
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("%PDF-1.4 earlier build\n");
    earlier.close();

    const Run render =
        runTool(QStringLiteral(QUORIX_RENDER_MANUAL), {source, pdf}, renderEnvironment(latinFontsOnly));
    QVERIFY2(render.finished, qPrintable(render.errors));
    if (missingNamed.isEmpty()) {
        QVERIFY2(render.exitCode == 0, qPrintable(render.errors));
        QVERIFY(QFileInfo(pdf).size() > 1000);
        return;
    }
    QCOMPARE(render.exitCode, 1);
    QVERIFY2(render.errors.contains(missingNamed), qPrintable(render.errors));
    QVERIFY2(render.errors.contains(kFontPackage), qPrintable(render.errors));
    QVERIFY(!QFile::exists(pdf));
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(tst_manualPdf)
#include "tst_manualPdf.moc"
