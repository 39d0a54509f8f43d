#include "loginWnd.h"
#include "passwordEdit.h"

#include <QFile>
#include <QIcon>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {
const Qt::WindowFlags separateWindow = Qt::WindowFlags(0x08004001);

QImage iconImage(const QIcon &icon)
{
    return icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
}
} // namespace

class tst_loginWnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowLayout();
    void checksPassword_data();
    void checksPassword();
    void enterConfirmsAndReachesField_data();
    void enterConfirmsAndReachesField();
    void clearMessageEmptiesField();
    void eyeTogglesVisibility();
};

// Types into a fresh login window of the given mode and returns the spies of both results.
struct LoginFixture
{
    explicit LoginFixture(bool developer)
        : window(nullptr, developer),
          field(window.findChild<passwordEdit *>(QStringLiteral("edit_password"))),
          button(window.findChild<QPushButton *>(QStringLiteral("pushButton"))),
          developerSpy(&window, &loginWnd::requestDevp), adminSpy(&window, &loginWnd::requestLogin)
    {
        window.show();
    }
    QSignalSpy &resultSpy() { return window.isDeveloperMode() ? developerSpy : adminSpy; }
    QSignalSpy &otherSpy() { return window.isDeveloperMode() ? adminSpy : developerSpy; }

    loginWnd window;
    passwordEdit *field;
    QPushButton *button;
    QSignalSpy developerSpy;
    QSignalSpy adminSpy;
};

void tst_loginWnd::initTestCase()
{
    QVERIFY2(QFile::exists(passwordEdit::showIconPath()), qPrintable(passwordEdit::showIconPath()));
    QVERIFY2(QFile::exists(passwordEdit::hideIconPath()), qPrintable(passwordEdit::hideIconPath()));
    QVERIFY(iconImage(QIcon(passwordEdit::showIconPath())) != iconImage(QIcon(passwordEdit::hideIconPath())));
}

void tst_loginWnd::windowLayout()
{
    QWidget parent;
    loginWnd window(&parent, true);
    // Qt adds the title and system-menu hints; what matters is minimise and close without maximise.
    QCOMPARE(window.windowFlags() & separateWindow, separateWindow);
    QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(window.isWindow());
    QCOMPARE(window.size(), QSize(365, 265));
    QCOMPARE(window.windowTitle(), QStringLiteral("Form"));
    auto *field = window.findChild<passwordEdit *>(QStringLiteral("edit_password"));
    QVERIFY(field);
    QCOMPARE(field->geometry(), QRect(160, 80, 170, 30));
    QCOMPARE(field->echoMode(), QLineEdit::Password);
    // The eye sits inside the field, one pixel short of its right edge, before and after the window
    // is first shown.
    QCOMPARE(field->eyeButton()->geometry(), QRect(144, 0, 25, 30));
    window.show();
    QCOMPARE(field->eyeButton()->geometry(), QRect(144, 0, 25, 30));
}

void tst_loginWnd::checksPassword_data()
{
    QTest::addColumn<bool>("developer");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("admin right") << false << "guest902731" << true;
    QTest::newRow("admin given developer's") << false << "guest4817" << false;
    QTest::newRow("admin empty") << false << "" << false;
    QTest::newRow("admin trailing blank") << false << "guest902731 " << false;
    QTest::newRow("admin leading blank") << false << " guest902731" << false;
    QTest::newRow("developer right") << true << "guest4817" << true;
    QTest::newRow("developer given admin's") << true << "guest902731" << false;
    QTest::newRow("developer empty") << true << "" << false;
    QTest::newRow("developer trailing blank") << true << "guest4817 " << false;
    QTest::newRow("developer other case") << true << "GUEST4817" << false;
}

void tst_loginWnd::checksPassword()
{
    QFETCH(bool, developer);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    LoginFixture login(developer);
    QTest::keyClicks(login.field, typed);
    QTest::mouseClick(login.button, Qt::LeftButton);

    QCOMPARE(login.resultSpy().count(), 1);
    QCOMPARE(login.resultSpy().at(0).at(0).toBool(), accepted);
    QCOMPARE(login.otherSpy().count(), 0);
    // The window neither clears nor closes itself; the main window decides.
    QCOMPARE(login.field->text(), typed);
}

void tst_loginWnd::enterConfirmsAndReachesField_data()
{
    QTest::addColumn<bool>("developer");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("admin return") << false << int(Qt::Key_Return) << "guest902731" << true;
    QTest::newRow("admin enter wrong") << false << int(Qt::Key_Enter) << "guest4817" << false;
    QTest::newRow("developer enter") << true << int(Qt::Key_Enter) << "guest4817" << true;
    QTest::newRow("developer return empty") << true << int(Qt::Key_Return) << "" << false;
}

void tst_loginWnd::enterConfirmsAndReachesField()
{
    QFETCH(bool, developer);
    QFETCH(int, key);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    LoginFixture login(developer);
    QSignalSpy fieldSpy(login.field, &QLineEdit::returnPressed);
    QTest::keyClicks(login.field, typed);
    QTest::keyClick(login.field, Qt::Key(key));

    QCOMPARE(login.resultSpy().count(), 1);
    QCOMPARE(login.resultSpy().at(0).at(0).toBool(), accepted);
    QCOMPARE(login.otherSpy().count(), 0);
    QCOMPARE(fieldSpy.count(), 1);
}

void tst_loginWnd::clearMessageEmptiesField()
{
    LoginFixture login(false);
    QTest::keyClicks(login.field, QStringLiteral("guest902731"));
    login.window.slot_clearMessage();
    QCOMPARE(login.field->text(), QString());
}

void tst_loginWnd::eyeTogglesVisibility()
{
    LoginFixture login(true);
    QPushButton *eye = login.field->eyeButton();
    const QImage shown = iconImage(QIcon(passwordEdit::showIconPath()));
    const QImage hidden = iconImage(QIcon(passwordEdit::hideIconPath()));
    QCOMPARE(iconImage(eye->icon()), hidden);
    QCOMPARE(eye->iconSize(), QSize(32, 32));

    QTest::keyClicks(login.field, QStringLiteral("guest4817"));
    QTest::mouseClick(eye, Qt::LeftButton);
    QCOMPARE(login.field->echoMode(), QLineEdit::Normal);
    QCOMPARE(login.field->displayText(), QStringLiteral("guest4817"));
    QCOMPARE(iconImage(eye->icon()), shown);

    QTest::mouseClick(eye, Qt::LeftButton);
    QCOMPARE(login.field->echoMode(), QLineEdit::Password);
    QVERIFY(login.field->displayText() != QStringLiteral("guest4817"));
    QCOMPARE(iconImage(eye->icon()), hidden);
    // Toggling leaves the password itself alone.
    QCOMPARE(login.field->text(), QStringLiteral("guest4817"));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_loginWnd)
#include "tst_loginWnd.moc"
