#pragma once

#include <QProcessEnvironment>
#include <QString>

#include <optional>

class QCoreApplication;

// The interface's language. Chinese is the text the program is written in; English is a Qt
// translation of it (translations/*.ts, compiled into translations/quorix_en.qm beside the
// executable).
enum class UiLanguage { Chinese, English };

namespace Language {

// QUORIX_LANG (zh|en) first, then the operator's stored choice, then the locale environment.
UiLanguage choose(const QProcessEnvironment &environment, std::optional<UiLanguage> stored);
// The locale environment alone: LC_ALL, else LC_MESSAGES, else LANG. Chinese, C, POSIX or none
// give Chinese; any other language gives English.
UiLanguage fromLocale(const QProcessEnvironment &environment);

// The choice made with "语言 / Language", kept for the next start in the user's configuration
// folder. None while the operator never chose.
std::optional<UiLanguage> stored();
bool store(UiLanguage language);

// Installs the translation of the language into the application and remembers it as current: for
// Chinese none of the program's own, but Qt's Chinese for its dialogs where the system has it
// (qtbase_zh_CN.qm in qtTranslationsFolder()). False, with the Chinese interface kept, when the
// English translation file is missing.
bool install(QCoreApplication *application, UiLanguage language);
// choose() from this process's environment and stored(), then install().
UiLanguage installChosen(QCoreApplication *application);
UiLanguage current();

// The manual of a language, a file name beside the executable.
QString manualFileName(UiLanguage language);
// The compiled translation, looked for beside the executable and in the build tree.
QString translationFile();
// Where Qt's own translations are installed.
QString qtTranslationsFolder();

} // namespace Language
