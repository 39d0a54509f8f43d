#include "Language.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QStandardPaths>
#include <QTranslator>

#include <atomic>

namespace {
std::atomic<UiLanguage> installedLanguage{UiLanguage::Chinese};
QTranslator *installedTranslator = nullptr;
QTranslator *qtTranslator = nullptr; // Qt's own dialogs and buttons

const char kSettingsKey[] = "interface/language";

std::optional<UiLanguage> parse(const QString &text)
{
    const QString name = text.trimmed().toLower();
    if (name == QLatin1String("zh"))
        return UiLanguage::Chinese;
    if (name == QLatin1String("en"))
        return UiLanguage::English;
    return std::nullopt;
}

void replace(QCoreApplication *application, QTranslator **slot, QTranslator *translator)
{
    if (*slot) {
        application->removeTranslator(*slot);
        delete *slot;
    }
    *slot = translator;
    if (translator)
        application->installTranslator(translator);
}

// Qt's own texts (a file dialog's "Look in", a question's "Yes") are English as Qt ships them; in
// Chinese they come from Qt's translation when the system has it (Debian: qttranslations5-l10n).
QTranslator *qtChineseTranslator(QCoreApplication *application)
{
    auto *translator = new QTranslator(application);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), Language::qtTranslationsFolder()))
        return translator;
    delete translator;
    return nullptr;
}

QString settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/quorix-rs485/language.ini");
}
} // namespace

namespace Language {

UiLanguage fromLocale(const QProcessEnvironment &environment)
{
    QString locale;
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = environment.value(QLatin1String(name));
        if (!locale.isEmpty())
            break;
    }
    const QString language = locale.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('_'), 0, 0);
    if (language.isEmpty() || language == QLatin1String("C") || language == QLatin1String("POSIX") ||
        language.startsWith(QLatin1String("zh")))
        return UiLanguage::Chinese;
    return UiLanguage::English;
}

UiLanguage choose(const QProcessEnvironment &environment, std::optional<UiLanguage> storedChoice)
{
    if (const auto forced = parse(environment.value(QStringLiteral("QUORIX_LANG"))))
        return *forced;
    if (storedChoice)
        return *storedChoice;
    return fromLocale(environment);
}

std::optional<UiLanguage> stored()
{
    const QSettings settings(settingsPath(), QSettings::IniFormat);
    return parse(settings.value(QLatin1String(kSettingsKey)).toString());
}

bool store(UiLanguage language)
{
    QSettings settings(settingsPath(), QSettings::IniFormat);
    settings.setValue(QLatin1String(kSettingsKey),
                      language == UiLanguage::English ? QStringLiteral("en") : QStringLiteral("zh"));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString translationFile()
{
    const QString name = QStringLiteral("quorix_en.qm");
    const QString besideExecutable =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations/") + name);
    if (QFileInfo::exists(besideExecutable))
        return besideExecutable;
    // quorix-cli is installed in bin/, the application and its translations in lib/quorix-rs485/.
    const QString installed = QDir(QCoreApplication::applicationDirPath())
                                  .filePath(QStringLiteral("../lib/quorix-rs485/translations/") + name);
    if (QFileInfo::exists(installed))
        return installed;
#ifdef QUORIX_BUILD_TRANSLATIONS
    // Tests and benchmarks run from the build tree, away from the application's folder.
    return QDir(QStringLiteral(QUORIX_BUILD_TRANSLATIONS)).filePath(name);
#else
    return besideExecutable;
#endif
}

QString qtTranslationsFolder()
{
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
}

bool install(QCoreApplication *application, UiLanguage language)
{
    replace(application, &installedTranslator, nullptr);
    replace(application, &qtTranslator,
            language == UiLanguage::Chinese ? qtChineseTranslator(application) : nullptr);
    installedLanguage = UiLanguage::Chinese;
    if (language == UiLanguage::Chinese)
        return true;
    auto *translator = new QTranslator(application);
    if (!translator->load(translationFile())) {
        delete translator;
        qWarning("No English translation at %s: the interface stays Chinese",
                 qPrintable(QDir::toNativeSeparators(translationFile())));
        return false;
    }
    replace(application, &installedTranslator, translator);
    installedLanguage = language;
    return true;
}

UiLanguage installChosen(QCoreApplication *application)
{
    const UiLanguage language = choose(QProcessEnvironment::systemEnvironment(), stored());
    install(application, language);
    return current();
}

UiLanguage current()
{
    return installedLanguage;
}

QString manualFileName(UiLanguage language)
{
    return language == UiLanguage::English ? QStringLiteral("QUORIXV1.0-en.pdf")
                                           : QStringLiteral("QUORIXV1.0.pdf");
}

} // namespace Language
