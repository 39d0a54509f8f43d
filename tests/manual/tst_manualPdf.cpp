// The manuals as the build renders them, Chinese and English: their text must come back out of the
// PDF (a character drawn as an empty box does not), every screenshot must be in it, and the renderer
// must refuse, writing nothing, where no available font can draw a character of the document.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
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

// A manual the build renders: its Markdown, its PDF and the folder of its screenshots beside the
// Markdown.
struct BuiltManual
{
    QString source;
    QString pdf;
    QString imageFolder;
};

const QString kChinese = QStringLiteral("zh");
const QString kEnglish = QStringLiteral("en");

BuiltManual builtManual(const QString &language)
{
    if (language == kEnglish)
        return {QStringLiteral(QUORIX_MANUAL_SOURCE_EN), QStringLiteral(QUORIX_MANUAL_PDF_EN), QStringLiteral("images-en")};
    return {QStringLiteral(QUORIX_MANUAL_SOURCE), QStringLiteral(QUORIX_MANUAL_PDF), QStringLiteral("images")};
}

QString fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Every English text the translation files give the Chinese text, in any context, with its line
// breaks as blanks; none while it is not translated.
QStringList translationsOf(const QString &chinese)
{
    QStringList found;
    for (const QFileInfo &file :
         QDir(QStringLiteral(QUORIX_TRANSLATIONS_SOURCE)).entryInfoList({QStringLiteral("*.ts")}, QDir::Files)) {
        QFile ts(file.filePath());
        if (!ts.open(QIODevice::ReadOnly))
            continue;
        QXmlStreamReader xml(&ts);
        QString source;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("source"))
                source = xml.readElementText();
            else if (xml.name() == QLatin1String("translation") && source == chinese)
                found << xml.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
        }
    }
    found.removeAll(QString()); // not translated yet
    return found;
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
    void builtManualHoldsItsCaptions_data();
    void builtManualHoldsItsCaptions();
    void builtManualHoldsEveryScreenshot_data();
    void builtManualHoldsEveryScreenshot();
    void englishManualQuotesChineseOnlyWhereTheInterfaceDoes();
    void englishManualQuotesTheInterfacesCaptions_data();
    void englishManualQuotesTheInterfacesCaptions();
    void renderingNeedsAFontForEveryCharacter_data();
    void renderingNeedsAFontForEveryCharacter();

private:
    QProcessEnvironment renderEnvironment(bool latinFontsOnly) const;

    QTemporaryDir m_dir;
    QHash<QString, QString> m_builtManualText; // by language, without blanks
    QString m_latinFontsConfig;
};

void tst_manualPdf::initTestCase()
{
    QVERIFY(m_dir.isValid());
    for (const QString &language : {kChinese, kEnglish}) {
        const Run text = runTool(QStringLiteral("pdftotext"),
                                 {QStringLiteral("-enc"), QStringLiteral("UTF-8"), builtManual(language).pdf,
                                  QStringLiteral("-")});
        QVERIFY2(text.finished, "pdftotext did not run; install poppler-utils (scripts/setup.sh installs it)");
        QVERIFY2(text.exitCode == 0, qPrintable(text.errors));
        m_builtManualText[language] = withoutBlanks(text.output);
    }

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

void tst_manualPdf::builtManualHoldsItsCaptions_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("caption"); // as pdftotext gives it, without blanks
    QTest::newRow("title") << kChinese << QStringLiteral("QUORIXRS485操作说明书");
    QTest::newRow("help menu entry") << kChinese << QStringLiteral("软件说明书");
    QTest::newRow("first tab") << kChinese << QStringLiteral("设备管理");
    QTest::newRow("scan entry") << kChinese << QStringLiteral("查询设备");
    QTest::newRow("serial dialog title") << kChinese << QStringLiteral("串口通信参数设置");
    QTest::newRow("loss window") << kChinese << QStringLiteral("丢包统计");
    QTest::newRow("diagnostics window") << kChinese << QStringLiteral("通信诊断");
    QTest::newRow("temperature unit") << kChinese << QStringLiteral("°C");
    QTest::newRow("language entry") << kChinese << QStringLiteral("帮助（H）→语言/Language");
    QTest::newRow("English manual named") << kChinese << QStringLiteral("QUORIXV1.0-en.pdf");
    QTest::newRow("English: title") << kEnglish << QStringLiteral("QUORIXRS485Operator'sManual");
    QTest::newRow("English: help menu entry") << kEnglish << QStringLiteral("\"Help→Manual\"");
    QTest::newRow("English: scan entry") << kEnglish << QStringLiteral("\"Devices→Scanfordevices\"");
    QTest::newRow("English: stages section") << kEnglish << QStringLiteral("7Stages");
    QTest::newRow("English: loss window") << kEnglish << QStringLiteral("\"Devices→Lostpackets\"");
    QTest::newRow("English: diagnostics window") << kEnglish << QStringLiteral("12Busdiagnostics");
    QTest::newRow("English: troubleshooting") << kEnglish << QStringLiteral("15Troubleshooting");
    QTest::newRow("English: temperature unit") << kEnglish << QStringLiteral("temperature(°C)");
    QTest::newRow("English: language entry") << kEnglish << QStringLiteral("\"Help→语言/Language\"");
    QTest::newRow("English: CSV sections as in the file") << kEnglish << QStringLiteral("type1");
    QTest::newRow("English: the Chinese manual named") << kEnglish << QStringLiteral("QUORIXV1.0.pdf");
}

void tst_manualPdf::builtManualHoldsItsCaptions()
{
    QFETCH(QString, language);
    QFETCH(QString, caption);
    const QString &text = m_builtManualText[language];
    QVERIFY2(text.contains(caption),
             qPrintable(QStringLiteral("\"%1\" is not in the text of the built manual (%2), which begins: %3")
                            .arg(caption, language, text.left(200))));
}

// The renderer only warns about a picture it cannot find; the manual would lack it.
void tst_manualPdf::builtManualHoldsEveryScreenshot_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("Chinese") << kChinese;
    QTest::newRow("English") << kEnglish;
}

void tst_manualPdf::builtManualHoldsEveryScreenshot()
{
    QFETCH(QString, language);
    const BuiltManual manual = builtManual(language);
    const QDir images(QFileInfo(manual.source).absoluteDir().filePath(manual.imageFolder));
    const QStringList shots = images.entryList({QStringLiteral("*.png")}, QDir::Files);
    QVERIFY2(!shots.isEmpty(), qPrintable(images.path()));
    const QString markdown = fileText(manual.source);
    for (const QString &shot : shots)
        QVERIFY2(markdown.contains(QStringLiteral("](%1/%2)").arg(manual.imageFolder, shot)), qPrintable(shot));
    QFile pdf(manual.pdf);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QCOMPARE(pdf.readAll().count("/Subtype /Image"), shots.size());
}

// The English manual quotes Chinese only where the English interface shows it too: the language
// entry, named in both languages, and a line of the debug log, which is not translated.
void tst_manualPdf::englishManualQuotesChineseOnlyWhereTheInterfaceDoes()
{
    QString text = m_builtManualText[kEnglish];
    QVERIFY(text.contains(QStringLiteral("语言/Language")));
    text.remove(QStringLiteral("语言/Language"));
    text.remove(QStringLiteral("串口适配器回送发送的报文，回送的字节不作为回复"));
    const QRegularExpression chinese(QStringLiteral("[\\p{Han}\\x{3000}-\\x{303F}\\x{FF00}-\\x{FFEF}]"));
    const QRegularExpressionMatch found = chinese.match(text);
    QVERIFY2(!found.hasMatch(),
             qPrintable(QStringLiteral("Chinese in the English manual: ...%1...")
                            .arg(text.mid(qMax(0, found.capturedStart() - 40), 80))));
}

// The English manual names the interface's captions as the English interface shows them; a caption
// translated anew leaves the manual wrong until it follows.
void tst_manualPdf::englishManualQuotesTheInterfacesCaptions_data()
{
    QTest::addColumn<QString>("chinese");
    QTest::addColumn<QString>("english"); // as the English manual quotes it
    const char *const captions[][2] = {
        {"软件说明书", "Manual"},
        {"查询设备", "Scan for devices"},
        {"丢包统计", "Lost packets"},
        {"通信诊断", "Bus diagnostics"},
        {"串口通信参数设置", "Serial port settings"},
        {"串口打开失败", "The serial port could not be opened"},
        {"串口未连接", "Serial port not connected"},
        {"没有查询到设备", "No device found"},
        {"接连", "Online"},
        {"断开", "Offline"},
        {"掉线", "Dropped"},
        {"瞬时量控制", "Flow mode"},
        {"累积量控制", "Total mode"},
        {"分阶流量", "Stages"},
        {"保存配置", "Save programme"},
        {"调入配置", "Load programme"},
        {"文件解析错误", "File parse error"},
        {"清除图像", "Clear chart"},
        {"保存设置", "Save settings"},
        {"确认保存", "Confirm save"},
        {"保存时长不能为0", "The duration cannot be 0"},
        {"历史数据", "History"},
        {"普通参数设置", "Ordinary parameters"},
        {"高级参数设置", "Advanced parameters"},
        {"出厂初始化", "Factory reset"},
        {"清洗打开", "Purge on"},
        {"重新计算总丢包数量", "Recount"},
        {"设备状态", "Device status"},
        {"通信报文", "Bus traffic"},
        {"MQTT 设置", "MQTT settings"},
        {"允许远程设定", "Allow remote setpoints"},
        {"停止并退出", "Stop and exit"},
        {"开发者模式", "Developer mode"},
        {"组成偏差报警", "Composition alarm"},
    };
    for (const auto &caption : captions)
        QTest::newRow(caption[1]) << QString::fromUtf8(caption[0]) << QString::fromUtf8(caption[1]);
}

void tst_manualPdf::englishManualQuotesTheInterfacesCaptions()
{
    QFETCH(QString, chinese);
    QFETCH(QString, english);
    const QString manual = fileText(builtManual(kEnglish).source);
    // Quoted, in bold, or at the end of a quoted menu path.
    const QRegularExpression quoted(
        QStringLiteral("(\"|\\*\\*|→ )%1(\"|\\*\\*)").arg(QRegularExpression::escape(english)));
    QVERIFY2(manual.contains(quoted), qPrintable(english));
    const QStringList translations = translationsOf(chinese);
    QVERIFY2(translations.contains(english),
             qPrintable(translations.isEmpty()
                            ? QStringLiteral("\"%1\" has no English translation in translations/*.ts").arg(chinese)
                            : QStringLiteral("the interface shows \"%1\" as \"%2\"")
                                  .arg(chinese, translations.join(QStringLiteral("\", \"")))));
}

void tst_manualPdf::renderingNeedsAFontForEveryCharacter_data()
{
    QTest::addColumn<QString>("markdown");
    QTest::addColumn<bool>("latinFontsOnly");
    QTest::addColumn<QString>("missingNamed"); // empty: the rendering succeeds

    const QString manualText = fileText(builtManual(kChinese).source);
    const QString englishManualText = fileText(builtManual(kEnglish).source);
    QVERIFY(!manualText.isEmpty() && !englishManualText.isEmpty());
    // Private use, beyond 16 bits: no font assigns them glyphs, and each is a pair of QChars.
    const uint outsideEveryFont[] = {0xF0000, 0xF0001};
    const QString unknownCharacters = QString::fromUcs4(outsideEveryFont, 2);
    QTest::newRow("the manual without a Chinese font") << manualText << true << QStringLiteral("操作说明书");
    QTest::newRow("the manual with the installed fonts") << manualText << false << QString();
    // The English manual quotes the language entry, which is named in Chinese too.
    QTest::newRow("the English manual without a Chinese font") << englishManualText << true << QStringLiteral("语言");
    QTest::newRow("the English manual with the installed fonts") << englishManualText << false << QString();
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
    for (const QString &language : {kChinese, kEnglish}) {
        const BuiltManual manual = builtManual(language);
        QVERIFY(QFile::link(QFileInfo(manual.source).absoluteDir().filePath(manual.imageFolder),
                            work.filePath(manual.imageFolder)));
    }
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
