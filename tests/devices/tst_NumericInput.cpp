#include "CustomSpimbox.h"
#include "DevicesTestSupport.h"
#include "myButton.h"
#include "myEdit.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>

// A spin entry above a plain widget in one active window, so that the pointer can leave it.
struct SpinFixture
{
    QWidget window;
    CustomSpimbox *spin;
    QWidget *elsewhere;
    QLineEdit *edit;

    SpinFixture()
    {
        auto *layout = new QVBoxLayout(&window);
        spin = new CustomSpimbox(&window);
        spin->setFixedSize(192, 52);
        elsewhere = new QWidget(&window);
        elsewhere->setFixedSize(192, 52);
        layout->addWidget(spin);
        layout->addWidget(elsewhere);
        edit = child<QLineEdit>(spin, "lineEdit");
        window.show();
        window.activateWindow();
    }
    bool focusEntry()
    {
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        edit->setFocus();
        return edit->hasFocus();
    }
    void type(const QString &text)
    {
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    void movePointerOut()
    {
        QTest::mouseMove(edit);
        QTest::mouseMove(elsewhere);
    }
};

class tst_NumericInput : public QObject
{
    Q_OBJECT

private slots:
    void spinStepsInLastShownDecimal_data();
    void spinStepsInLastShownDecimal();
    void spinStripsLeadingZerosWhileTyping_data();
    void spinStripsLeadingZerosWhileTyping();
    void spinCommitsOnEnter_data();
    void spinCommitsOnEnter();
    void spinCommitsWhenPointerLeavesFocusedEntry();
    void spinIgnoresPointerLeavingUnfocusedEntry();
    void spinTypingAloneCommitsNothing();
    void spinReadOnlyIgnoresStepsAndCommits();
    void spinCommitsOnceWhileReceiverShowsABox_data();
    void spinCommitsOnceWhileReceiverShowsABox();
    void spinWriteFailedMarkSparesTyping();

    void editClampsOnReturn_data();
    void editClampsOnReturn();
    void editKeypadEnterDoesNotCommit();
    void editClampsWhenPointerLeavesFocusedField();
    void editClampsOnRightClick();
    void editStripsZerosOnlyWhileUnlocked();
    void editLockBlocksOnlyLockedSetter();

    void buttonLockKeepsCaption();
};

void tst_NumericInput::spinStepsInLastShownDecimal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("expected");
    QTest::newRow("2.50 up") << "2.50" << true << "2.51";
    QTest::newRow("7 down") << "7" << false << "6";
    QTest::newRow("0.9 up carries") << "0.9" << true << "1.0";
    QTest::newRow("9.99 up carries") << "9.99" << true << "10.00";
    QTest::newRow("trailing point steps units") << "2." << true << "3";
    QTest::newRow("0 down goes negative") << "0" << false << "-1";
    QTest::newRow("-0.1 up is zero") << "-0.1" << true << "0.0";
    QTest::newRow("empty counts as 0") << "" << true << "1";
    QTest::newRow("beyond 32 bits") << "2147483647" << true << "2147483648";
    QTest::newRow("64-bit limit stays") << "9223372036854775807" << true << "9223372036854775807";
    QTest::newRow("beyond 64 bits stays") << "9223372036854775808" << true << "9223372036854775808";
    QTest::newRow("far below 64 bits stays") << "-99999999999999999999" << false << "-99999999999999999999";
}

void tst_NumericInput::spinStepsInLastShownDecimal()
{
    QFETCH(QString, text);
    QFETCH(bool, up);
    QFETCH(QString, expected);
    SpinFixture f;
    QSignalSpy committed(f.spin, &CustomSpimbox::setFlowValue);
    f.spin->setValueText(text);
    QTest::mouseClick(child<QPushButton>(f.spin, up ? "pushButton" : "pushButton_2"), Qt::LeftButton);
    QCOMPARE(f.edit->text(), expected);
    QCOMPARE(committed.count(), 0);
}

void tst_NumericInput::spinStripsLeadingZerosWhileTyping_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0012") << "0012"
                          << "12";
    QTest::newRow("00") << "00"
                        << "0";
    QTest::newRow("000.5") << "000.5"
                           << "0.5";
    QTest::newRow("0.5 stays") << "0.5"
                               << "0.5";
    QTest::newRow("inner zeros stay") << "1005"
                                      << "1005";
}

void tst_NumericInput::spinStripsLeadingZerosWhileTyping()
{
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    SpinFixture f;
    QVERIFY(f.focusEntry());
    f.type(typed);
    QCOMPARE(f.edit->text(), expected);
    QCOMPARE(f.edit->cursorPosition(), expected.size());
}

void tst_NumericInput::spinCommitsOnEnter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("commits");
    QTest::addColumn<float>("value");
    QTest::newRow("Return on 3.5") << "3.5" << int(Qt::Key_Return) << true << 3.5f;
    QTest::newRow("keypad Enter on 12") << "12" << int(Qt::Key_Enter) << true << 12.0f;
    QTest::newRow("stepped negative") << "-1" << int(Qt::Key_Return) << true << -1.0f;
    QTest::newRow("no number") << "abc" << int(Qt::Key_Return) << false << 0.0f;
    QTest::newRow("empty") << "" << int(Qt::Key_Return) << false << 0.0f;
    QTest::newRow("nan is no setpoint") << "nan" << int(Qt::Key_Return) << false << 0.0f;
    QTest::newRow("inf is no setpoint") << "inf" << int(Qt::Key_Return) << false << 0.0f;
    QTest::newRow("beyond float range") << "1e39" << int(Qt::Key_Return) << false << 0.0f;
}

void tst_NumericInput::spinCommitsOnEnter()
{
    QFETCH(QString, text);
    QFETCH(int, key);
    QFETCH(bool, commits);
    QFETCH(float, value);
    SpinFixture f;
    QVERIFY(f.focusEntry());
    f.type(text);
    QSignalSpy committed(f.spin, &CustomSpimbox::setFlowValue);
    QTest::keyClick(f.edit, Qt::Key(key));
    QCOMPARE(committed.count(), commits ? 1 : 0);
    if (commits)
        QCOMPARE(committed.at(0).at(0).toFloat(), value);
    QCOMPARE(f.edit->hasFocus(), !commits);
    QCOMPARE(f.edit->text(), text);
}

void tst_NumericInput::spinCommitsWhenPointerLeavesFocusedEntry()
{
    SpinFixture f;
    QVERIFY(f.focusEntry());
    f.type("42.25");
    QSignalSpy committed(f.spin, &CustomSpimbox::setFlowValue);
    f.movePointerOut();
    QCOMPARE(committed.count(), 1);
    QCOMPARE(committed.at(0).at(0).toFloat(), 42.25f);
    QVERIFY(!f.edit->hasFocus());
}

void tst_NumericInput::spinIgnoresPointerLeavingUnfocusedEntry()
{
    SpinFixture f;
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    f.elsewhere->setFocusPolicy(Qt::StrongFocus);
    f.elsewhere->setFocus();
    QVERIFY(!f.edit->hasFocus());
    f.spin->setValueText("5");
    QSignalSpy committed(f.spin, &CustomSpimbox::setFlowValue);
    f.movePointerOut();
    QCOMPARE(committed.count(), 0);
}

void tst_NumericInput::spinTypingAloneCommitsNothing()
{
    SpinFixture f;
    QVERIFY(f.focusEntry());
    QSignalSpy committed(f.spin, &CustomSpimbox::setFlowValue);
    f.type("123.4");
    QTest::mouseClick(child<QPushButton>(f.spin, "pushButton"), Qt::LeftButton);
    QCOMPARE(committed.count(), 0);
}

void tst_NumericInput::spinReadOnlyIgnoresStepsAndCommits()
{
    SpinFixture f;
    QVERIFY(f.focusEntry());
    f.type("5");
    f.spin->setReadOnlyState(true);
    QVERIFY(f.edit->isReadOnly());
    QSignalSpy committed(f.spin, &CustomSpimbox::setFlowValue);
    QTest::mouseClick(child<QPushButton>(f.spin, "pushButton"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(f.spin, "pushButton_2"), Qt::LeftButton);
    f.edit->setFocus();
    QTest::keyClick(f.edit, Qt::Key_Return);
    f.movePointerOut();
    QCOMPARE(f.edit->text(), QString("5"));
    QCOMPARE(committed.count(), 0);

    f.spin->setReadOnlyState(false);
    QTest::mouseClick(child<QPushButton>(f.spin, "pushButton"), Qt::LeftButton);
    QCOMPARE(f.edit->text(), QString("6"));
}

// The receiver of a commit opens a modal box, which takes the pointer out of the field.
void tst_NumericInput::spinCommitsOnceWhileReceiverShowsABox_data()
{
    QTest::addColumn<bool>("byEnter");
    QTest::newRow("Enter") << true;
    QTest::newRow("pointer leaving") << false;
}

void tst_NumericInput::spinCommitsOnceWhileReceiverShowsABox()
{
    QFETCH(bool, byEnter);
    SpinFixture f;
    QVERIFY(f.focusEntry());
    f.type("-3");
    int commits = 0;
    QObject::connect(f.spin, &CustomSpimbox::setFlowValue, [&] {
        ++commits;
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(f.edit, &leave);
    });
    if (byEnter)
        QTest::keyClick(f.edit, Qt::Key_Return);
    else
        f.movePointerOut();
    QCOMPARE(commits, 1);
    QVERIFY(!f.edit->hasFocus());
}

// A failed write marks the field and empties it, but never takes away what the operator is typing.
void tst_NumericInput::spinWriteFailedMarkSparesTyping()
{
    SpinFixture f;
    QVERIFY(f.focusEntry());
    f.type("12");
    f.spin->markWriteFailed();
    QVERIFY(f.spin->hasWriteFailedMark());
    QCOMPARE(f.edit->text(), QString("12"));
    f.edit->clearFocus();
    f.spin->markWriteFailed();
    QCOMPARE(f.edit->text(), QString());
    QCOMPARE(f.spin->styleSheet(), QString("background-color: white;"));
    f.spin->confirmWrite("12");
    QVERIFY(!f.spin->hasWriteFailedMark());
    QCOMPARE(f.edit->text(), QString("12"));
    f.edit->setText("-4");
    f.spin->restoreSettledText();
    QCOMPARE(f.edit->text(), QString("12"));
}

void tst_NumericInput::editClampsOnReturn_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("printed");
    QTest::newRow("above maximum") << "250"
                                   << "100"
                                   << "鼠标回车";
    QTest::newRow("below minimum") << "0.5"
                                   << "1"
                                   << "鼠标回车";
    QTest::newRow("inside range") << "50.5"
                                  << "50.5"
                                  << "鼠标回车";
    QTest::newRow("empty") << ""
                           << ""
                           << "转换无效鼠标回车";
    QTest::newRow("no number") << "x1"
                               << "x1"
                               << "转换无效鼠标回车";
    QTest::newRow("nan is no number") << "nan"
                                      << "nan"
                                      << "转换无效鼠标回车";
    QTest::newRow("infinity clamps") << "inf"
                                     << "100"
                                     << "鼠标回车";
}

void tst_NumericInput::editClampsOnReturn()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(QString, printed);
    myEdit edit;
    edit.setMaxValue(100);
    edit.setMinValue(1);
    edit.setText(text);
    StdoutCapture out;
    QTest::keyClick(&edit, Qt::Key_Return);
    QCOMPARE(edit.text(), expected);
    QCOMPARE(out.text(), printed);
}

void tst_NumericInput::editKeypadEnterDoesNotCommit()
{
    myEdit edit;
    edit.setText("1000000");
    StdoutCapture out;
    QTest::keyClick(&edit, Qt::Key_Enter);
    QCOMPARE(edit.text(), QString("1000000"));
    QTest::keyClick(&edit, Qt::Key_Return);
    QCOMPARE(edit.text(), QString("999999"));
    QCOMPARE(out.text(), QString("鼠标回车"));
}

void tst_NumericInput::editClampsWhenPointerLeavesFocusedField()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *edit = new myEdit(&window);
    auto *elsewhere = new QWidget(&window);
    elsewhere->setFixedSize(100, 40);
    layout->addWidget(edit);
    layout->addWidget(elsewhere);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    edit->setMaxValue(10);
    edit->setText("12");
    edit->setFocus();
    QVERIFY(edit->hasFocus());
    StdoutCapture out;
    QTest::mouseMove(edit);
    QTest::mouseMove(elsewhere);
    QCOMPARE(edit->text(), QString("10"));
    QVERIFY(!edit->hasFocus());
    QCOMPARE(out.text(), QString("鼠标离开"));
}

void tst_NumericInput::editClampsOnRightClick()
{
    myEdit edit;
    edit.setMinValue(5);
    edit.setText("2");
    QTest::mouseClick(&edit, Qt::RightButton);
    QCOMPARE(edit.text(), QString("5"));
}

void tst_NumericInput::editStripsZerosOnlyWhileUnlocked()
{
    myEdit edit;
    QTest::keyClicks(&edit, "007");
    QCOMPARE(edit.text(), QString("7"));
    edit.clear();
    edit.setLocked(true);
    QTest::keyClicks(&edit, "007");
    QCOMPARE(edit.text(), QString("007"));
}

void tst_NumericInput::editLockBlocksOnlyLockedSetter()
{
    myEdit edit;
    edit.setLocked(true);
    edit.lockedSetText("12");
    QCOMPARE(edit.text(), QString());
    QTest::keyClicks(&edit, "34");
    QCOMPARE(edit.text(), QString("34"));
    edit.setLocked(false);
    edit.lockedSetText("12");
    QCOMPARE(edit.text(), QString("12"));
}

void tst_NumericInput::buttonLockKeepsCaption()
{
    myButton button;
    button.setLocked(true);
    button.lockedSetText("5.000");
    QCOMPARE(button.text(), QString());
    button.setLocked(false);
    button.lockedSetText("5.000");
    QCOMPARE(button.text(), QString("5.000"));
    button.setLocked(true);
    button.setText("压力");
    QCOMPARE(button.text(), QString("压力"));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_NumericInput)
#include "tst_NumericInput.moc"
