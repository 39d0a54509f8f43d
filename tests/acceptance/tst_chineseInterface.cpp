// The interface in Chinese down to the dialogs Qt draws itself: a question's buttons and the file
// dialog speak Chinese, from Qt's own translation (Debian: qttranslations5-l10n).

#include "shell/InterfaceWalk.h"

#include "Language.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QtTest>

namespace {

// The buttons and labels that show a text and do not show it in Chinese.
QStringList englishCaptions(QWidget *dialog)
{
    QStringList english;
    for (QAbstractButton *button : dialog->findChildren<QAbstractButton *>()) {
        if (!button->text().isEmpty() && !InterfaceWalk::hasChinese(button->text()))
            english << button->text();
    }
    for (QLabel *label : dialog->findChildren<QLabel *>()) {
        if (label->isVisibleTo(dialog) && !label->text().isEmpty() &&
            !InterfaceWalk::hasChinese(label->text()))
            english << label->text();
    }
    return english;
}

} // namespace

class tst_chineseInterface : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void qtOwnDialogsSpeakChinese();
};

void tst_chineseInterface::initTestCase()
{
    Language::install(qApp, UiLanguage::Chinese);
}

void tst_chineseInterface::qtOwnDialogsSpeakChinese()
{
    QMessageBox question(QMessageBox::Question, QStringLiteral("提示"), QStringLiteral("是否退出？"),
                         QMessageBox::Yes | QMessageBox::No);
    QVERIFY2(
        InterfaceWalk::hasChinese(question.button(QMessageBox::Yes)->text()),
        qPrintable(QStringLiteral("no Qt translation in %1 (qttranslations5-l10n): \"%2\"")
                       .arg(Language::qtTranslationsFolder(), question.button(QMessageBox::Yes)->text())));
    QVERIFY(InterfaceWalk::hasChinese(question.button(QMessageBox::No)->text()));

    QFileDialog files(nullptr, QStringLiteral("保存文件"));
    files.setOptions(QFileDialog::DontUseNativeDialog);
    files.setAcceptMode(QFileDialog::AcceptSave);
    QCOMPARE(englishCaptions(&files), QStringList{});
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_chineseInterface)
#include "tst_chineseInterface.moc"
