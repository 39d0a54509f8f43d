// Both parameter windows on their own: what each commit, choice and button asks the worker for,
// how read results and write outcomes show, and the faults an operator could meet.

#include "Language.h"
#include "MessageBoxSeam.h"
#include "SerialPort.h"
#include "myEdit.h"
#include "setAdminParam.h"
#include "setDeviceParamWin.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

const QString green = QStringLiteral("background-color: lightgreen;");
const QString yellow = QStringLiteral("background-color: yellow;");

QByteArray readReply(quint8 address, bool isFloat, double value)
{
    QByteArray reply;
    reply.append(char(address)).append('\x03').append('\x04');
    reply += isFloat ? float_to_bytes(float(value)) : int32_to_bytes(qint32(value));
    return SerialPort::appendCrc(reply);
}

// One window with controllers 3 and 5 listed and 3 selected, shown and active, its requests
// recorded and its boxes answered.
class Harness
{
public:
    explicit Harness(bool admin) : admin(admin)
    {
        if (admin)
            window = std::make_unique<setAdminParam>();
        else
            window = std::make_unique<setDeviceParamWin>();
        writes = std::make_unique<QSignalSpy>(
            window.get(), admin ? SIGNAL(sig_modifyAdminParam(uchar, int, int, int, float))
                                : SIGNAL(sig_modifyDeviceParam(uchar, int, int, int, float)));
        reads = std::make_unique<QSignalSpy>(window.get(), admin ? SIGNAL(sigshowAdminParam(int))
                                                                 : SIGNAL(sigshowDeviceParam(int)));
        MessageBoxSeam::setHandler([this](QWidget *, const MessageBoxSeam::Box &box) {
            boxes << box.title + QLatin1Char('|') + box.text;
            if (box.kind != MessageBoxSeam::Kind::Question)
                return QMessageBox::Ok;
            ++questions;
            if (whileAsked)
                whileAsked();
            return answer;
        });
        QMetaObject::invokeMethod(window.get(), "clearCombox");
        for (uchar id : {3, 5})
            QMetaObject::invokeMethod(window.get(), "slot_isBeenFindDevice", Q_ARG(uchar, id));
        window->show();
        QApplication::setActiveWindow(window.get());
        active = QTest::qWaitForWindowActive(window.get());
        select(3);
    }
    ~Harness() { MessageBoxSeam::reset(); }

    QComboBox *deviceSelector() const { return combo(admin ? "combox_deviceId" : "comboBox"); }
    void select(int address)
    {
        deviceSelector()->setCurrentIndex(deviceSelector()->findText(QString::number(address)));
    }
    myEdit *edit(const QString &name) const { return window->findChild<myEdit *>(name); }
    // Types the text into the field and commits it with the key.
    myEdit *commit(const QString &name, const QString &text, Qt::Key key = Qt::Key_Return)
    {
        myEdit *field = edit(name);
        field->setFocus();
        field->setText(text);
        QTest::keyClick(field, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        return field;
    }
    QComboBox *combo(const char *name) const { return window->findChild<QComboBox *>(QLatin1String(name)); }
    QPushButton *button(const QString &name) const { return window->findChild<QPushButton *>(name); }
    void result(int code, int deviceId, bool isFloat, double value)
    {
        QMetaObject::invokeMethod(window.get(), "slot_param_result", Q_ARG(int, code), Q_ARG(int, deviceId),
                                  Q_ARG(QByteArray, readReply(quint8(deviceId), isFloat, value)));
    }
    void outcome(bool success, int type)
    {
        QMetaObject::invokeMethod(window.get(), "slot_modifyStatus", Q_ARG(bool, success), Q_ARG(int, type));
    }
    // The writes asked for, each as "address:type,data_type,data1,data2".
    QStringList sent() const
    {
        QStringList all;
        for (const QList<QVariant> &w : *writes)
            all << QStringLiteral("%1:%2,%3,%4,%5")
                       .arg(w[0].toInt())
                       .arg(w[1].toInt())
                       .arg(w[2].toInt())
                       .arg(w[3].toInt())
                       .arg(double(w[4].toFloat()));
        return all;
    }
    QString inputErrorBox() const
    {
        return admin ? QStringLiteral("Input Error|Please enter a valid number.")
                     : QStringLiteral("输入错误|请输入有效数值.");
    }

    bool admin;
    bool active = false;
    QMessageBox::StandardButton answer = QMessageBox::Yes; // to every question
    std::function<void()> whileAsked;                      // runs while a question is open
    int questions = 0;
    std::unique_ptr<ParameterWindow> window;
    std::unique_ptr<QSignalSpy> writes, reads;
    QStringList boxes;
};

// The English interface for the life of the object.
struct InEnglish
{
    const bool installed = Language::install(qApp, UiLanguage::English);
    ~InEnglish() { Language::install(qApp, UiLanguage::Chinese); }
};

} // namespace

class tst_parameterWindowUnits : public QObject
{
    Q_OBJECT
private slots:
    void commitField_data();
    void commitField();
    void choicesAndCommands_data();
    void choicesAndCommands();
    void readResult_data();
    void readResult();
    void writeOutcome_data();
    void writeOutcome();
    void resultsFillInTurnAndOnlyForTheSelection();
    void placeholderHidesFieldByFieldUnlessCancelled();
    void cleaningCaptionFollowsLatestOutcome();
    void noDeviceShowsNoFieldsInEnglish_data();
    void noDeviceShowsNoFieldsInEnglish();
    void cleaningTogglesInEnglish();
    void outcomeMarksTheControllerItWasFor();
    void resultOfAnEarlierReadKeepsTheCommittedValue();
    void lateResultKeepsTheTypedText();
    void keypadEnterCommitsOnce();
    void destroyedWhileTyping();
    void strayInputOverSelectorWritesNothing();
    void refusedEntryShowsTheLastValueAgain_data();
    void refusedEntryShowsTheLastValueAgain();
    void weightyCommandsAskFirst_data();
    void weightyCommandsAskFirst();
    void confirmedForAControllerNoLongerSelected();
    void showingAgainReadsTheSelectedController();
};

void tst_parameterWindowUnits::commitField_data()
{
    QTest::addColumn<bool>("admin");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("byReturn");
    QTest::addColumn<QString>("expected"); // the write, "box" for the input-error box, "" for nothing
    QTest::addColumn<QString>("question"); // the question answered Yes before the write, or ""
    const auto row = [](const char *name, bool admin, const char *sender, const char *text, bool byReturn,
                        const char *expected, const QString &question = QString()) {
        QTest::newRow(name) << admin << QString::fromLatin1(sender) << QString::fromLatin1(text) << byReturn
                            << QString::fromLatin1(expected) << question;
    };
    row("backlight 12", false, "edit_backlight_time", "12", true, "3:3,1,12,0");
    row("backlight 70 clamped by Return", false, "edit_backlight_time", "70", true, "3:3,1,65,0");
    row("backlight 70 clamped by focus loss", false, "edit_backlight_time", "70", false, "3:3,1,65,0");
    row("open delay -3 clamped by focus loss", false, "edit_open_delay", "-3", false, "3:5,1,0,0");
    row("open delay 1e3 refused", false, "edit_open_delay", "1e3", true, "box");
    row("open delay 70000 beyond 16 bits", false, "edit_open_delay", "70000", true, "box");
    row("gas number 12.0 is whole", false, "edit_flow_number", "12.0", true, "3:2,1,12,12");
    row("gas number 12.5 not whole", false, "edit_flow_number", "12.5", false, "box");
    row("custom gas 2.5", false, "edit_cun_flow_number", "2.5", true, "3:1,2,2,2.5");
    row("alarm 1 sends the real value", false, "edit_alarm_1", "2.5", true, "3:9,2,2,2.5");
    row("alarm 2 sends the real value", false, "edit_alarm_2", "7.25", false, "3:10,2,7,7.25");
    row("alarm mode 9 clamped", false, "edit_method_alarm", "9", true, "3:7,1,6,0");
    row("new address 7", false, "edit_id", "7", true, "3:11,1,7,0",
        QStringLiteral("提示|确定将设备3的ID号改为7吗？"));
    row("new address 5 taken by controller 5", false, "edit_id", "5", true, "box");
    row("new address 16 unreachable", false, "edit_id", "16", true, "box");
    row("new address 0 unreachable", false, "edit_id", "0", false, "box");
    row("empty field left as shown", false, "edit_open_delay", "", false, "");
    row("P 1.5", true, "edit_adjust_P", "1.5", true, "3:5,1,2,1.5");
    row("D 1.5 as data_type 2", true, "edit_adjust_d", "1.5", true, "3:7,2,2,1.5");
    row("dead band 0.25", true, "edit_adjust_dead_area", "0.25", false, "3:4,1,0,0.25");
    row("advanced password 7", true, "edit_password_seior", "7", true, "3:10,2,7,7");
    row("ordinary password 70000 beyond 16 bits", true, "edit_password_ori", "70000", true, "box");
    row("ordinary password 12.5 not whole", true, "edit_password_ori", "12.5", true, "box");
    row("filter 250 clamped", true, "edit_analog_input_fre", "250", false, "3:8,1,100,0");
    row("active period 12.0", true, "edit_active_out_fre", "12.0", true, "3:2,1,12,12");
    row("not a number", true, "edit_adjust_i", "x1", true, "box");
    row("device address is display only", true, "lineEdit", "", true, "");
}

void tst_parameterWindowUnits::commitField()
{
    QFETCH(bool, admin);
    QFETCH(QString, sender);
    QFETCH(QString, text);
    QFETCH(bool, byReturn);
    QFETCH(QString, expected);
    QFETCH(QString, question);
    Harness h(admin);
    QVERIFY(h.active);
    myEdit *field = h.edit(sender);
    field->setFocus();
    field->setText(text);
    if (byReturn)
        QTest::keyClick(field, Qt::Key_Return);
    else
        h.deviceSelector()->setFocus();
    QVERIFY(!field->hasFocus());
    QCOMPARE(h.sent(), expected.contains(QLatin1Char(':')) ? QStringList{expected} : QStringList{});
    QStringList boxes;
    if (expected == QLatin1String("box"))
        boxes << h.inputErrorBox();
    if (!question.isEmpty())
        boxes << question;
    QCOMPARE(h.boxes, boxes);
}

void tst_parameterWindowUnits::choicesAndCommands_data()
{
    QTest::addColumn<bool>("admin");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("index"); // -1: a button click
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("asks"); // confirmed by the operator first (answered Yes here)
    QTest::newRow("power loss save on") << false << "combox__poweroff" << 0 << "3:4,1,1,0" << false;
    QTest::newRow("power loss save off") << false << "combox__poweroff" << 1 << "3:4,1,0,0" << false;
    QTest::newRow("alarm pin conducting") << false << "combox_alarm_level" << 0 << "3:8,1,0,0" << false;
    QTest::newRow("alarm pin not conducting") << false << "combox_alarm_level" << 1 << "3:8,1,1,0" << false;
    QTest::newRow("reset cumulative") << false << "pushButton" << -1 << "3:12,1,1,0" << true;
    QTest::newRow("baud 115200") << true << "comboBox" << 6 << "3:1,1,6,6" << true;
    QTest::newRow("active output on") << true << "comboBox_2" << 0 << "3:3,1,1,1" << false;
    QTest::newRow("active output off") << true << "comboBox_2" << 1 << "3:3,1,0,0" << false;
    QTest::newRow("factory initialisation") << true << "pushButton" << -1 << "3:11,1,0,0" << true;
    QTest::newRow("zero the flow") << true << "pushButton_2" << -1 << "3:12,1,0,0" << true;
    QTest::newRow("analog zero") << true << "pushButton_5" << -1 << "3:15,1,0,0" << true;
    QTest::newRow("analog full scale") << true << "pushButton_6" << -1 << "3:16,1,0,0" << true;
    QTest::newRow("cleaning on") << true << "pushButton_4" << -1 << "3:13,1,0,0" << false;
}

void tst_parameterWindowUnits::choicesAndCommands()
{
    QFETCH(bool, admin);
    QFETCH(QString, control);
    QFETCH(int, index);
    QFETCH(QString, expected);
    QFETCH(bool, asks);
    Harness h(admin);
    if (index < 0) {
        QTest::mouseClick(h.button(control), Qt::LeftButton);
    } else {
        // An operator's pick changes the index and then reports the activation.
        QComboBox *box = h.window->findChild<QComboBox *>(control);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    QCOMPARE(h.sent(), QStringList{expected});
    QCOMPARE(h.questions, asks ? 1 : 0);
}

void tst_parameterWindowUnits::readResult_data()
{
    QTest::addColumn<bool>("admin");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("isFloat");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shownIn"); // a field, or a selector showing an index
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("highlighted");
    const auto row = [](bool admin, int code, bool isFloat, double value, const char *shownIn,
                        const char *shown, bool highlighted = true) {
        QTest::addRow("%s %d: %g", admin ? "admin" : "ordinary", code, value)
            << admin << code << isFloat << value << QString::fromLatin1(shownIn) << QString::fromLatin1(shown)
            << highlighted;
    };
    row(false, 1, false, 7, "edit_flow_number", "7");
    row(false, 2, true, 1.25, "edit_cun_flow_number", "1.25");
    row(false, 3, false, 30, "edit_backlight_time", "30");
    row(false, 4, false, 0, "combox__poweroff", "1");
    row(false, 4, false, 1, "combox__poweroff", "0");
    row(false, 5, false, 15, "edit_open_delay", "15");
    row(false, 6, false, 10, "edit_acc_interval", "10");
    row(false, 7, false, 2, "edit_method_alarm", "2");
    row(false, 8, false, 1, "combox_alarm_level", "1");
    row(false, 9, true, 2.5, "edit_alarm_1", "2.5");
    row(false, 10, true, 1234567.0, "edit_alarm_2", "1.23457e+06");
    row(false, 11, false, 1, "", "");
    row(false, 12, false, 3, "edit_id", "3", false);
    row(true, 1, false, 6, "comboBox", "6");
    row(true, 1, false, 9, "comboBox", "-1");
    row(true, 2, false, 1000, "edit_active_out_fre", "1000");
    row(true, 3, false, 1, "comboBox_2", "0");
    row(true, 3, false, 0, "comboBox_2", "1");
    row(true, 4, true, 0.5, "edit_adjust_dead_area", "0.5");
    row(true, 5, true, 0.8, "edit_adjust_P", "0.8");
    row(true, 6, true, 0.2, "edit_adjust_i", "0.2");
    row(true, 7, true, 0.05, "edit_adjust_d", "0.05");
    row(true, 8, false, 5, "edit_analog_input_fre", "5");
    row(true, 9, false, 1234, "edit_password_ori", "1234");
    row(true, 10, false, 70000, "edit_password_seior", "70000");
    row(true, 11, false, 3, "lineEdit", "3", false);
}

void tst_parameterWindowUnits::readResult()
{
    QFETCH(bool, admin);
    QFETCH(int, code);
    QFETCH(bool, isFloat);
    QFETCH(double, value);
    QFETCH(QString, shownIn);
    QFETCH(QString, shown);
    QFETCH(bool, highlighted);
    Harness h(admin);
    h.result(code, 3, isFloat, value);
    QTRY_VERIFY(h.window->settled());
    if (auto *box = h.window->findChild<QComboBox *>(shownIn)) {
        QCOMPARE(QString::number(box->currentIndex()), shown);
    } else if (myEdit *field = h.edit(shownIn)) {
        QCOMPARE(field->text(), shown);
        QCOMPARE(field->styleSheet(), highlighted ? green : QString());
    }
    for (myEdit *field : h.window->edits()) {
        if (field->objectName() != shownIn)
            QCOMPARE(field->text(), QString());
    }
    QCOMPARE(h.sent(), QStringList{}); // showing what the controller holds writes nothing back
}

void tst_parameterWindowUnits::writeOutcome_data()
{
    QTest::addColumn<bool>("admin");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("marked"); // the field marked yellow, or ""
    QTest::addColumn<QString>("box");
    // The field of each write type, from type 1 on; "-" where a type marks no field.
    const QStringList ordinaryFields =
        QStringLiteral("edit_cun_flow_number edit_flow_number edit_backlight_time - "
                       "edit_open_delay edit_acc_interval edit_method_alarm - "
                       "edit_alarm_1 edit_alarm_2 edit_id -")
            .split(' ');
    const QStringList adminFields =
        QStringLiteral("- edit_active_out_fre - edit_adjust_dead_area edit_adjust_P "
                       "edit_adjust_i edit_adjust_d edit_analog_input_fre "
                       "edit_password_ori edit_password_seior - - - - - -")
            .split(' ');
    for (bool admin : {false, true}) {
        const QStringList &fields = admin ? adminFields : ordinaryFields;
        for (int type = 1; type <= fields.size(); ++type)
            QTest::addRow("%s %d failed", admin ? "admin" : "ordinary", type)
                << admin << type << false << fields.at(type - 1)
                << (admin && type == 1 ? QStringLiteral("提示|波特率修改失败") : QString());
    }
    QTest::newRow("ordinary address changed") << false << 11 << true << "edit_id"
                                              << "提示|修改设备ID成功，请重新查询设备确认";
    QTest::newRow("admin baud changed") << true << 1 << true << ""
                                        << "提示|波特率修改成功，请以新的波特率重新打开串口并重新查询设备";
    QTest::newRow("admin P written") << true << 5 << true << "edit_adjust_P"
                                     << "";
}

void tst_parameterWindowUnits::writeOutcome()
{
    QFETCH(bool, admin);
    QFETCH(int, type);
    QFETCH(bool, success);
    QFETCH(QString, marked);
    QFETCH(QString, box);
    Harness h(admin);
    myEdit *field = h.edit(marked);
    if (field && success)
        field->setStyleSheet(yellow); // an earlier failure, cleared by this success
    h.outcome(success, type);
    QTRY_VERIFY(h.window->settled());
    for (myEdit *each : h.window->edits())
        QCOMPARE(each->styleSheet(), each == field && !success ? yellow : QString());
    QCOMPARE(h.boxes, box.isEmpty() ? QStringList{} : QStringList{box});
}

void tst_parameterWindowUnits::resultsFillInTurnAndOnlyForTheSelection()
{
    Harness h(false);
    myEdit *gasNumber = h.edit("edit_flow_number");
    myEdit *gasFactor = h.edit("edit_cun_flow_number");
    myEdit *backlight = h.edit("edit_backlight_time");
    h.result(1, 3, false, 4);
    h.result(2, 3, true, 1.5);
    QCOMPARE(gasNumber->text(), QStringLiteral("4"));
    QCOMPARE(gasFactor->text(), QString()); // the next result waits its turn
    QTRY_COMPARE(gasFactor->text(), QStringLiteral("1.5"));
    QCOMPARE(gasFactor->styleSheet(), green);
    QCOMPARE(gasNumber->styleSheet(), QString()); // the highlight moved on

    h.result(3, 5, false, 40); // a result for a controller not selected
    QTRY_VERIFY(h.window->settled());
    QCOMPARE(backlight->text(), QString());
    h.result(5, 3, false, 9);
    h.result(6, 3, false, 8); // still queued when the operator switches to 5
    h.select(5);
    QCOMPARE(h.reads->takeLast(), QList<QVariant>{5});
    QTRY_VERIFY(h.window->settled());
    for (myEdit *field : h.window->edits()) {
        QCOMPARE(field->text(), QString());
        QCOMPARE(field->styleSheet(), QString());
    }
    h.result(3, 5, false, 40);
    QTRY_COMPARE(backlight->text(), QStringLiteral("40"));
    QCOMPARE(h.sent(), QStringList{});
}

void tst_parameterWindowUnits::placeholderHidesFieldByFieldUnlessCancelled()
{
    Harness h(true);
    const QList<myEdit *> fields = h.window->edits();
    h.result(2, 3, false, 1000);
    QTRY_VERIFY(h.window->settled());
    QElapsedTimer clock;
    clock.start();
    h.deviceSelector()->setCurrentIndex(0);
    QVERIFY(fields.first()->isVisible()); // hidden only after its pause
    QVERIFY(fields.first()->isLocked());
    QTRY_VERIFY(!fields.at(1)->isVisible());
    QVERIFY(fields.last()->isVisible());
    QVERIFY(clock.elapsed() >= ParameterWindow::HidePauseMs);
    QCOMPARE(fields.first()->text(), QString());
    h.select(5); // cancels the rest of the sequence
    for (myEdit *field : fields)
        QVERIFY(field->isVisible() && !field->isLocked());
    h.deviceSelector()->setCurrentIndex(0);
    QTRY_VERIFY_WITH_TIMEOUT(h.window->settled(), 10 * fields.size() * ParameterWindow::HidePauseMs);
    for (myEdit *field : fields)
        QVERIFY(!field->isVisible());
    for (const char *name : {"comboBox", "comboBox_2"})
        QVERIFY(!h.combo(name)->isVisible());
    QVERIFY(!h.button("pushButton_4")->isVisible());
    QVERIFY(h.deviceSelector()->isVisible());
}

void tst_parameterWindowUnits::cleaningCaptionFollowsLatestOutcome()
{
    Harness h(true);
    QPushButton *cleaning = h.button("pushButton_4");
    QTest::mouseClick(cleaning, Qt::LeftButton);
    QCOMPARE(cleaning->text(), QStringLiteral("清洗关闭"));
    QCOMPARE(cleaning->styleSheet(), QStringLiteral("background-color: gray; border: 1px solid lightgray;"));
    QTest::mouseClick(cleaning, Qt::LeftButton);
    QCOMPARE(cleaning->text(), QStringLiteral("清洗打开"));
    QCOMPARE(cleaning->styleSheet(), QStringLiteral("background-color: white; border: 1px solid lightgray;"));
    QCOMPARE(h.sent(), (QStringList{"3:13,1,0,0", "3:14,1,0,0"}));

    QTest::mouseClick(cleaning, Qt::LeftButton);
    h.outcome(false, 14); // an older command: the caption stays with the latest
    QTRY_VERIFY(h.window->settled());
    QCOMPARE(cleaning->text(), QStringLiteral("清洗关闭"));
    h.outcome(false, 13); // the latest failed: cleaning is still off
    QTRY_VERIFY(h.window->settled());
    QCOMPARE(cleaning->text(), QStringLiteral("清洗打开"));
    QCOMPARE(cleaning->styleSheet(), QStringLiteral("background-color: white; border: 1px solid lightgray;"));
}

// The placeholder's caption is English here; it must still count as no controller chosen.
void tst_parameterWindowUnits::noDeviceShowsNoFieldsInEnglish_data()
{
    QTest::addColumn<bool>("admin");
    QTest::addColumn<bool>("chosenAgain"); // else the window is opened with nothing selected
    QTest::newRow("ordinary window opened") << false << false;
    QTest::newRow("administrator window opened") << true << false;
    QTest::newRow("ordinary placeholder chosen again") << false << true;
    QTest::newRow("administrator placeholder chosen again") << true << true;
}

void tst_parameterWindowUnits::noDeviceShowsNoFieldsInEnglish()
{
    QFETCH(bool, admin);
    QFETCH(bool, chosenAgain);
    const InEnglish english;
    QVERIFY(english.installed);
    std::unique_ptr<Harness> h;
    std::unique_ptr<ParameterWindow> opened;
    if (chosenAgain) {
        h = std::make_unique<Harness>(admin);
        QVERIFY(h->window->edits().first()->isVisible());
        h->deviceSelector()->setCurrentIndex(0);
    } else {
        if (admin)
            opened = std::make_unique<setAdminParam>();
        else
            opened = std::make_unique<setDeviceParamWin>();
        opened->show();
    }
    ParameterWindow *window = h ? h->window.get() : opened.get();
    auto *selector = window->findChild<QComboBox *>(QLatin1String(admin ? "combox_deviceId" : "comboBox"));
    QCOMPARE(selector->currentText(), QStringLiteral("Select device"));
    QTRY_VERIFY_WITH_TIMEOUT(window->settled(), 10 * window->edits().size() * ParameterWindow::HidePauseMs);
    for (myEdit *field : window->edits())
        QVERIFY2(!field->isVisible(), qPrintable(field->objectName()));
    if (h)
        QCOMPARE(h->reads->count(), 1); // the selection of controller 3 alone
}

void tst_parameterWindowUnits::cleaningTogglesInEnglish()
{
    const InEnglish english;
    QVERIFY(english.installed);
    Harness h(true);
    QPushButton *cleaning = h.button("pushButton_4");
    QCOMPARE(cleaning->text(), QStringLiteral("Purge on"));
    QTest::mouseClick(cleaning, Qt::LeftButton);
    QCOMPARE(cleaning->text(), QStringLiteral("Purge off"));
    QTest::mouseClick(cleaning, Qt::LeftButton);
    QCOMPARE(cleaning->text(), QStringLiteral("Purge on"));
    QCOMPARE(h.sent(), (QStringList{"3:13,1,0,0", "3:14,1,0,0"}));
    h.outcome(false, 14); // off failed: cleaning is still on
    QTRY_VERIFY(h.window->settled());
    QCOMPARE(cleaning->text(), QStringLiteral("Purge off"));
}

void tst_parameterWindowUnits::outcomeMarksTheControllerItWasFor()
{
    Harness h(false);
    QVERIFY(h.active);
    for (int address : {3, 5}) {
        h.select(address);
        h.commit("edit_backlight_time", "20");
    }
    h.outcome(false, 3); // the write to 3, served first
    QTRY_VERIFY(h.window->settled());
    QCOMPARE(h.edit("edit_backlight_time")->styleSheet(), QString());
    h.outcome(false, 3); // the write to 5, now shown
    QTRY_COMPARE(h.edit("edit_backlight_time")->styleSheet(), yellow);
}

void tst_parameterWindowUnits::resultOfAnEarlierReadKeepsTheCommittedValue()
{
    Harness h(false);
    QVERIFY(h.active);
    myEdit *backlight = h.commit("edit_backlight_time", "25");
    h.combo("combox__poweroff")->setCurrentIndex(1);
    h.result(3, 3, false, 40); // read on selection, before those writes
    h.result(4, 3, false, 1);
    QTRY_VERIFY(h.window->settled());
    QCOMPARE(backlight->text(), QStringLiteral("25"));
    QCOMPARE(h.combo("combox__poweroff")->currentIndex(), 1);
    QTest::mouseClick(h.button("pushButton_3"), Qt::LeftButton); // a new read shows what it finds
    h.result(3, 3, false, 40);
    QTRY_COMPARE(backlight->text(), QStringLiteral("40"));
}

void tst_parameterWindowUnits::lateResultKeepsTheTypedText()
{
    Harness h(true);
    QVERIFY(h.active);
    myEdit *field = h.edit("edit_adjust_P");
    field->setFocus();
    QTest::keyClicks(field, QStringLiteral("7.5"));
    h.result(5, 3, true, 0.8); // read on selection, arriving while the operator types
    QTRY_VERIFY(h.window->settled());
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(h.sent(), QStringList{"3:5,1,8,7.5"});
}

void tst_parameterWindowUnits::keypadEnterCommitsOnce()
{
    Harness h(false);
    QVERIFY(h.active);
    QVERIFY(!h.commit("edit_open_delay", "1e3", Qt::Key_Enter)->hasFocus()); // released as Return does
    QCOMPARE(h.boxes, QStringList{h.inputErrorBox()});
}

void tst_parameterWindowUnits::destroyedWhileTyping()
{
    Harness h(false);
    QVERIFY(h.active);
    h.edit("edit_open_delay")->setFocus();
    QTest::keyClicks(h.edit("edit_open_delay"), QStringLiteral("5"));
    h.window.reset(); // the application quits with this window active: no commit, no crash
    QCOMPARE(h.writes->size(), 0);
}

void tst_parameterWindowUnits::strayInputOverSelectorWritesNothing()
{
    Harness h(true);
    QComboBox *baud = h.combo("comboBox");
    QWheelEvent scroll(QPointF(5, 5), baud->mapToGlobal(QPoint(5, 5)), QPoint(), QPoint(0, -120),
                       Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(baud, &scroll);
    baud->setFocus();
    QTest::keyClick(baud, Qt::Key_Down); // keys meant for a field
    QTest::keyClicks(baud, QStringLiteral("1"));
    QCOMPARE(baud->currentIndex(), -1);
    QCOMPARE(h.sent(), QStringList{});
    QApplication::sendEvent(h.deviceSelector(), &scroll); // nor switch the controller written to
    QCOMPARE(h.deviceSelector()->currentText(), QStringLiteral("3"));
}

void tst_parameterWindowUnits::refusedEntryShowsTheLastValueAgain_data()
{
    QTest::addColumn<bool>("admin");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<int>("readCode"); // the value read first, 0 for none
    QTest::addColumn<bool>("isFloat");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("sentBefore"); // a text committed before the refused one, or ""
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("byReturn");
    QTest::addColumn<QString>("shownAfter");
    QTest::newRow("open delay 1e3 after 15 was read")
        << false << "edit_open_delay" << 5 << false << 15.0 << ""
        << "1e3" << true << "15";
    QTest::newRow("gas number 12.5 left by focus after 4 was read")
        << false << "edit_flow_number" << 1 << false << 4.0 << ""
        << "12.5" << false << "4";
    QTest::newRow("address taken by controller 5") << false << "edit_id" << 12 << false << 3.0 << ""
                                                   << "5" << true << "3";
    QTest::newRow("address 16 unreachable") << false << "edit_id" << 12 << false << 3.0 << ""
                                            << "16" << false << "3";
    QTest::newRow("backlight x after 12 was sent")
        << false << "edit_backlight_time" << 3 << false << 30.0 << "12"
        << "x" << true << "12";
    QTest::newRow("refused before anything was read") << false << "edit_open_delay" << 0 << false << 0.0 << ""
                                                      << "1e3" << true << "";
    QTest::newRow("P not a number after 0.8 was read") << true << "edit_adjust_P" << 5 << true << 0.8 << ""
                                                       << "x1" << true << "0.8";
    QTest::newRow("password beyond 16 bits after 1234 was read")
        << true << "edit_password_ori" << 9 << false << 1234.0 << ""
        << "70000" << false << "1234";
}

void tst_parameterWindowUnits::refusedEntryShowsTheLastValueAgain()
{
    QFETCH(bool, admin);
    QFETCH(QString, sender);
    QFETCH(int, readCode);
    QFETCH(bool, isFloat);
    QFETCH(double, value);
    QFETCH(QString, sentBefore);
    QFETCH(QString, text);
    QFETCH(bool, byReturn);
    QFETCH(QString, shownAfter);
    Harness h(admin);
    QVERIFY(h.active);
    if (readCode != 0)
        h.result(readCode, 3, isFloat, value);
    QTRY_VERIFY(h.window->settled());
    if (!sentBefore.isEmpty())
        h.commit(sender, sentBefore);
    const int sentFirst = h.writes->size();
    myEdit *field = h.edit(sender);
    field->setFocus();
    field->setText(text);
    if (byReturn)
        QTest::keyClick(field, Qt::Key_Return);
    else
        h.deviceSelector()->setFocus();
    QCOMPARE(h.boxes, QStringList{h.inputErrorBox()});
    QCOMPARE(field->text(), shownAfter);
    field->setFocus(); // passing through the field again is no new entry
    h.deviceSelector()->setFocus();
    QCOMPARE(h.writes->size(), sentFirst);
    QCOMPARE(h.boxes.size(), 1);
}

void tst_parameterWindowUnits::weightyCommandsAskFirst_data()
{
    QTest::addColumn<bool>("admin");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("input"); // a field's text, a selector's index, "" for a button
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("expected");   // the write on Yes
    QTest::addColumn<QString>("shownAfter"); // a field's text or a selector's index, "" for a button
    struct Command
    {
        const char *name;
        bool admin;
        const char *control;
        const char *input;
        const char *question;
        const char *expected;
        const char *shownOnYes;
        const char *shownOnNo;
    };
    // Before each, the window shows address 3 (ordinary) or baud index 2 (administrator) as read.
    const Command commands[] = {
        {"reset cumulative", false, "pushButton", "", "确定对设备3执行“累积量清零”吗？", "3:12,1,1,0", "",
         ""},
        {"factory initialisation", true, "pushButton", "", "确定对设备3执行“出厂初始化”吗？", "3:11,1,0,0",
         "", ""},
        {"zero the flow", true, "pushButton_2", "", "确定对设备3执行“流量清零”吗？", "3:12,1,0,0", "", ""},
        {"analog zero", true, "pushButton_5", "", "确定对设备3执行“模拟量输入零点设置”吗？", "3:15,1,0,0", "",
         ""},
        {"analog full scale", true, "pushButton_6", "", "确定对设备3执行“模拟量输入满量程设置”吗？",
         "3:16,1,0,0", "", ""},
        {"new address", false, "edit_id", "7", "确定将设备3的ID号改为7吗？", "3:11,1,7,0", "7", "3"},
        {"baud rate", true, "comboBox", "6", "确定将设备3的波特率改为115200吗？", "3:1,1,6,6", "6", "2"},
    };
    for (const Command &c : commands) {
        for (bool yes : {true, false})
            QTest::addRow("%s %s", c.name, yes ? "yes" : "no")
                << c.admin << QString::fromLatin1(c.control) << QString::fromLatin1(c.input) << yes
                << QStringLiteral("提示|") + QString::fromUtf8(c.question)
                << (yes ? QString::fromLatin1(c.expected) : QString())
                << QString::fromLatin1(yes ? c.shownOnYes : c.shownOnNo);
    }
}

void tst_parameterWindowUnits::weightyCommandsAskFirst()
{
    QFETCH(bool, admin);
    QFETCH(QString, control);
    QFETCH(QString, input);
    QFETCH(bool, yes);
    QFETCH(QString, question);
    QFETCH(QString, expected);
    QFETCH(QString, shownAfter);
    Harness h(admin);
    QVERIFY(h.active);
    h.result(admin ? 1 : 12, 3, false, admin ? 2 : 3);
    QTRY_VERIFY(h.window->settled());
    h.answer = yes ? QMessageBox::Yes : QMessageBox::No;
    QComboBox *selector = h.combo(control.toLatin1().constData());
    if (h.edit(control)) {
        h.commit(control, input);
        QCOMPARE(h.edit(control)->text(), shownAfter);
    } else if (selector) {
        selector->setCurrentIndex(input.toInt());
        QCOMPARE(QString::number(selector->currentIndex()), shownAfter);
    } else {
        QTest::mouseClick(h.button(control), Qt::LeftButton);
    }
    QCOMPARE(h.boxes, QStringList{question});
    QCOMPARE(h.questions, 1);
    QCOMPARE(h.sent(), expected.isEmpty() ? QStringList{} : QStringList{expected});
    if (h.edit(control)) { // a refused change is not sent by the next focus change either
        h.edit(control)->setFocus();
        h.deviceSelector()->setFocus();
        QCOMPARE(h.questions, 1);
    }
}

void tst_parameterWindowUnits::confirmedForAControllerNoLongerSelected()
{
    Harness h(true);
    QVERIFY(h.active);
    // A scan started from the main window empties the list while the question is open.
    h.whileAsked = [&h] { QMetaObject::invokeMethod(h.window.get(), "clearCombox"); };
    QTest::mouseClick(h.button("pushButton"), Qt::LeftButton);
    QCOMPARE(h.questions, 1);
    QCOMPARE(h.sent(), QStringList{});
}

void tst_parameterWindowUnits::showingAgainReadsTheSelectedController()
{
    Harness h(false);
    QVERIFY(h.active);
    QCOMPARE(h.reads->size(), 1);
    h.result(3, 3, false, 40);
    h.result(4, 3, false, 0);
    QTRY_VERIFY(h.window->settled());
    h.window->hide(); // another controller is fitted at 3 meanwhile
    h.window->show();
    QCOMPARE(h.reads->size(), 2);
    QCOMPARE(h.reads->last(), QList<QVariant>{3});
    QCOMPARE(h.edit("edit_backlight_time")->text(), QString());
    QCOMPARE(h.combo("combox__poweroff")->currentIndex(), -1);
    h.result(3, 3, false, 55);
    QTRY_COMPARE(h.edit("edit_backlight_time")->text(), QStringLiteral("55"));

    h.deviceSelector()->setCurrentIndex(0);
    QTRY_VERIFY_WITH_TIMEOUT(h.window->settled(), 20 * ParameterWindow::HidePauseMs);
    h.window->hide();
    h.window->show(); // nothing selected: nothing to read
    QCOMPARE(h.reads->size(), 2);
    QCOMPARE(h.sent(), QStringList{});
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_parameterWindowUnits)
#include "tst_parameterWindowUnits.moc"
