#include "CustomSpimbox.h"
#include "DeviceLine.h"
#include "DevicesTestSupport.h"
#include "Language.h"
#include "MessageBoxSeam.h"
#include "Reading.h"
#include "myButton.h"

#include <QHBoxLayout>
#include <QSignalSpy>
#include <QtTest>
#include <limits>
#include <utility>

namespace {

const QString kWhite = "QPushButton { background-color: white;border: none;  }";
const QString kRed = "QPushButton { background-color: red;border: none;  }";
const QString kGreen = "QPushButton { background-color: green;border: none;  }";
const QString kGreenFirst = "QPushButton { background-color:green;border: none;  }";
const QString kHidden = "background-color: lightgray;border: none;";
const QString kActive = "font-family: Arial; font-size: 20px; font-weight: 300;";
const QString kGrey =
    "font-family: Arial; font-size: 20px; font-weight: 300;background-color: gray;border: none";

// Every signal of a row, in the order it was emitted.
void recordSignals(DeviceLine *row, QStringList *log)
{
    auto add = [log](const QString &entry) { log->append(entry); };
    QObject::connect(row, &DeviceLine::signla_onlineDevice,
                     [add](int type, int id) { add(QString("online(%1,%2)").arg(type).arg(id)); });
    QObject::connect(row, &DeviceLine::setBseParam, [add](uchar id, int type, float value) {
        add(QString("setpoint(%1,%2,%3)").arg(id).arg(type).arg(value));
    });
    QObject::connect(row, &DeviceLine::changeMode,
                     [add](uchar id, int type) { add(QString("mode(%1,%2)").arg(id).arg(type)); });
    QObject::connect(row, &DeviceLine::noShowFlow, [add](uchar id, int type, bool shown) {
        add(QString("show(%1,%2,%3)").arg(id).arg(type).arg(shown));
    });
    QObject::connect(row, &DeviceLine::refreshOnlineDevice,
                     [add](int id, int type) { add(QString("refresh(%1,%2)").arg(id).arg(type)); });
    QObject::connect(row, &DeviceLine::showFlowSetValue,
                     [add](int type, int id) { add(QString("readBack(%1,%2)").arg(type).arg(id)); });
    QObject::connect(row, &DeviceLine::showMode, [add](int id) { add(QString("askMode(%1)").arg(id)); });
}

struct Row
{
    DeviceLine line;
    QPushButton *online = child<QPushButton>(&line, "btn_online");
    QPushButton *id = child<QPushButton>(&line, "btn_id");
    myButton *mode = child<myButton>(&line, "btn_mode");
    CustomSpimbox *cur = child<CustomSpimbox>(&line, "edit_cur");
    CustomSpimbox *cum = child<CustomSpimbox>(&line, "edit_cum");
    QStringList log;

    explicit Row(const QString &address = "7")
    {
        line.setDeviceId(address);
        recordSignals(&line, &log);
    }
    myButton *reading(const char *name) { return child<myButton>(&line, name); }
    void clickOnline() { QTest::mouseClick(online, Qt::LeftButton); }
    void clickMode() { QTest::mouseClick(mode, Qt::LeftButton); }
    QStringList takeLog() { return std::exchange(log, {}); }
    // Types a value into a setpoint entry and presses Enter, as the operator does.
    void commit(CustomSpimbox *entry, const QString &text)
    {
        auto *edit = child<QLineEdit>(entry, "lineEdit");
        edit->clear();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
};

const char *const kReadingButtons[] = {"btn_currentFlow", "btn_cumFlow", "btn_temp", "btn_press"};

// The English interface while it lives; rows made meanwhile carry English captions.
struct EnglishInterface
{
    EnglishInterface() { QVERIFY2(Language::install(qApp, UiLanguage::English), "no English translation"); }
    ~EnglishInterface() { Language::install(qApp, UiLanguage::Chinese); }
};

} // namespace

class tst_DeviceLine : public QObject
{
    Q_OBJECT

private slots:
    void startsEmptyAndOffline();
    void cellsLineUpWithHeader();
    void onlineButtonFollowsStateTable_data();
    void onlineButtonFollowsStateTable();
    void onlineButtonFollowsStateTableInEnglish_data();
    void onlineButtonFollowsStateTableInEnglish();
    void goingOfflineBlanksAndLocksReadings();
    void emptyRowIgnoresOnlineAndMode();
    void setpointPassesOnlyWhileConnected_data();
    void setpointPassesOnlyWhileConnected();
    void setpointOutsideRangeIsRefused_data();
    void setpointOutsideRangeIsRefused();
    void refusedEntryReturnsToConfirmedValue();
    void givenUpSetpointMarksItsField_data();
    void givenUpSetpointMarksItsField();
    void readingFormats_data();
    void readingFormats();
    void unusableReadingKeepsText_data();
    void unusableReadingKeepsText();
    void readingButtonTogglesVisibility_data();
    void readingButtonTogglesVisibility();
    void modeButtonSwitchesAndAsksSetpoints();
    void modeButtonSwitchesInEnglish();
    void modeButtonIgnoredUnlessConnected();
    void setModeViewOnlyForOwnAddress();
    void showDeviceModeLocksOtherEntry_data();
    void showDeviceModeLocksOtherEntry();
    void showSetpointUsesSixDigits_data();
    void showSetpointUsesSixDigits();
    void readBackWaitsWhileOperatorTypes();
    void resetRowEmptiesTheRow();
    void resetRowForgetsPreviousSetpoints();
    void resetKeepingAddressLeavesRowAsScanned();
};

void tst_DeviceLine::startsEmptyAndOffline()
{
    DeviceLine line;
    QCOMPARE(line.objectName(), QString("DeviceLine"));
    QCOMPARE(line.size(), QSize(2365, 276));
    QCOMPARE(line.deviceIdText(), QString());
    QCOMPARE(line.onlineCaption(), QString("上线"));
    QCOMPARE(child<QPushButton>(&line, "btn_online")->styleSheet(), kWhite);
    QCOMPARE(child<QPushButton>(&line, "btn_id")->size(), QSize(66, 30));
    QCOMPARE(child<myButton>(&line, "btn_mode")->text(), QString("累积量控制"));
    QCOMPARE(child<myButton>(&line, "btn_press")->text(), QString("压力"));
    QCOMPARE(child<CustomSpimbox>(&line, "edit_cur")->size(), QSize(200, 35));
    QVERIFY(!child<CustomSpimbox>(&line, "edit_cur")->isReadOnlyState());
    QVERIFY(!child<CustomSpimbox>(&line, "edit_cum")->isReadOnlyState());
}

void tst_DeviceLine::cellsLineUpWithHeader()
{
    DeviceLine line;
    auto *cells = line.findChild<QHBoxLayout *>();
    QVERIFY(cells);
    const QStringList order = {"btn_online", "btn_id",   "btn_currentFlow", "btn_cumFlow", "btn_temp",
                               "btn_press",  "edit_cur", "edit_cum",        "btn_mode"};
    const int stretches[] = {2, 1, 2, 2, 2, 2, 3, 3, 2};
    QCOMPARE(cells->count(), order.size());
    for (int i = 0; i < order.size(); ++i) {
        QCOMPARE(cells->itemAt(i)->widget()->objectName(), order[i]);
        QCOMPARE(cells->stretch(i), stretches[i]);
    }
}

void tst_DeviceLine::onlineButtonFollowsStateTable_data()
{
    QTest::addColumn<QString>("before"); // c: click, d: marked dropped
    QTest::addColumn<QStringList>("emitted");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("style");
    QTest::newRow("上线") << "" << QStringList{"online(3,7)", "refresh(7,1)", "askMode(7)"} << "接连"
                          << kGreenFirst;
    QTest::newRow("接连") << "c" << QStringList{"online(1,7)", "refresh(7,2)"} << "断开" << kRed;
    QTest::newRow("断开") << "cc" << QStringList{"online(3,7)", "refresh(7,1)"} << "接连" << kGreen;
    QTest::newRow("掉线") << "cd" << QStringList{"online(2,7)", "refresh(7,1)"} << "接连" << kGreen;
    QTest::newRow("掉线 before online")
        << "d" << QStringList{"online(2,7)", "refresh(7,1)"} << "接连" << kGreen;
}

void tst_DeviceLine::onlineButtonFollowsStateTable()
{
    QFETCH(QString, before);
    QFETCH(QStringList, emitted);
    QFETCH(QString, caption);
    QFETCH(QString, style);
    Row row;
    StdoutCapture out;
    for (QChar step : before)
        step == 'c' ? row.clickOnline() : row.line.markDropped();
    row.takeLog();
    row.clickOnline();
    QCOMPARE(row.log, emitted);
    QCOMPARE(row.online->text(), caption);
    QCOMPARE(row.online->styleSheet(), style);
}

// The captions differ by language; what a click does may not.
void tst_DeviceLine::onlineButtonFollowsStateTableInEnglish_data()
{
    QTest::addColumn<QString>("before"); // c: click, d: marked dropped
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("emitted");
    QTest::addColumn<QString>("caption");
    QTest::newRow("Connect") << "" << "Connect" << QStringList{"online(3,7)", "refresh(7,1)", "askMode(7)"}
                             << "Online";
    QTest::newRow("Online") << "c" << "Online" << QStringList{"online(1,7)", "refresh(7,2)"} << "Offline";
    QTest::newRow("Offline") << "cc" << "Offline" << QStringList{"online(3,7)", "refresh(7,1)"} << "Online";
    QTest::newRow("Dropped") << "cd" << "Dropped" << QStringList{"online(2,7)", "refresh(7,1)"} << "Online";
}

void tst_DeviceLine::onlineButtonFollowsStateTableInEnglish()
{
    QFETCH(QString, before);
    QFETCH(QString, shown);
    QFETCH(QStringList, emitted);
    QFETCH(QString, caption);
    EnglishInterface english;
    Row row;
    StdoutCapture out;
    for (QChar step : before)
        step == 'c' ? row.clickOnline() : row.line.markDropped();
    QCOMPARE(row.online->text(), shown);
    row.takeLog();
    row.clickOnline();
    QCOMPARE(row.log, emitted);
    QCOMPARE(row.online->text(), caption);
    QCOMPARE(row.line.isConnected(), caption == "Online");
    QVERIFY(!row.line.hasDropped());
    // A setpoint passes only while the row is online, in English too.
    row.takeLog();
    row.commit(row.cum, "5");
    QCOMPARE(row.log, caption == "Online" ? QStringList{"setpoint(7,2,5)"} : QStringList{});
}

void tst_DeviceLine::goingOfflineBlanksAndLocksReadings()
{
    Row row;
    row.clickOnline();
    row.line.showSetpoint(1, 20);
    row.line.showSetpoint(2, 3);
    StdoutCapture out;
    row.clickOnline();
    QCOMPARE(out.text(), QString("设备7在接连的情况下点击了下线\n"));
    QCOMPARE(child<QLineEdit>(row.cur, "lineEdit")->text(), QString());
    QCOMPARE(child<QLineEdit>(row.cum, "lineEdit")->text(), QString());
    for (int type = 1; type <= 4; ++type)
        row.line.showReading(type, 5);
    for (const char *name : kReadingButtons) {
        QCOMPARE(row.reading(name)->text(), QString());
        QCOMPARE(row.reading(name)->styleSheet(), kHidden);
    }
    row.clickOnline(); // 断开 -> 接连 shows the readings again
    row.line.showReading(1, 5);
    QCOMPARE(row.reading("btn_currentFlow")->text(), QString("5.000"));
    QCOMPARE(row.reading("btn_currentFlow")->styleSheet(), kWhite);
}

void tst_DeviceLine::emptyRowIgnoresOnlineAndMode()
{
    Row row("");
    StdoutCapture out;
    row.clickOnline();
    row.clickMode();
    QCOMPARE(out.text(), QString("上面没有设备\n设备为空"));
    QCOMPARE(row.online->text(), QString("上线"));
    QVERIFY(row.log.isEmpty());
}

void tst_DeviceLine::setpointPassesOnlyWhileConnected_data()
{
    QTest::addColumn<int>("onlineClicks");
    QTest::addColumn<bool>("dropped");
    QTest::addColumn<QStringList>("emitted");
    QTest::newRow("接连") << 1 << false << QStringList{"setpoint(7,2,12.5)"};
    QTest::newRow("上线") << 0 << false << QStringList{};
    QTest::newRow("断开") << 2 << false << QStringList{};
    QTest::newRow("掉线") << 1 << true << QStringList{};
}

void tst_DeviceLine::setpointPassesOnlyWhileConnected()
{
    QFETCH(int, onlineClicks);
    QFETCH(bool, dropped);
    QFETCH(QStringList, emitted);
    Row row;
    StdoutCapture out;
    for (int i = 0; i < onlineClicks; ++i)
        row.clickOnline();
    if (dropped)
        row.line.markDropped();
    row.takeLog();
    row.commit(row.cum, "12.5");
    QCOMPARE(row.log, emitted);
}

// The controller holds 3.5; the operator types into the focused field and presses Enter.
void tst_DeviceLine::setpointOutsideRangeIsRefused_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("emitted");
    QTest::addColumn<int>("boxCount");
    QTest::addColumn<QString>("shown");
    QTest::newRow("eight digits") << "99999999" << QStringList{} << 1 << "3.5";
    QTest::newRow("1e30") << "1e30" << QStringList{} << 1 << "3.5";
    QTest::newRow("negative") << "-5" << QStringList{} << 1 << "3.5";
    QTest::newRow("just above") << "999999.5" << QStringList{} << 1 << "3.5";
    QTest::newRow("highest") << "999999" << QStringList{"setpoint(7,2,999999)"} << 0 << "999999";
    QTest::newRow("zero") << "0" << QStringList{"setpoint(7,2,0)"} << 0 << "0";
    QTest::newRow("not a number stays uncommitted") << "1.2.3" << QStringList{} << 0 << "1.2.3";
}

void tst_DeviceLine::setpointOutsideRangeIsRefused()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, emitted);
    QFETCH(int, boxCount);
    QFETCH(QString, shown);
    Row row;
    row.line.show();
    QVERIFY(QTest::qWaitForWindowActive(&row.line));
    auto *edit = child<QLineEdit>(row.cum, "lineEdit");
    QList<MessageBoxSeam::Box> boxes;
    MessageBoxSeam::setHandler([&boxes, edit](QWidget *, const MessageBoxSeam::Box &box) {
        boxes.append(box);
        // A modal box takes the pointer: the field it was over, still focused, sees it leave.
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(edit, &leave);
        return QMessageBox::Ok;
    });
    row.clickOnline();
    row.line.showSetpoint(2, 3.5f);
    row.takeLog();
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    row.commit(row.cum, typed);
    MessageBoxSeam::reset();
    QCOMPARE(row.log, emitted);
    QCOMPARE(boxes.size(), boxCount);
    for (const MessageBoxSeam::Box &box : qAsConst(boxes)) {
        QCOMPARE(box.title, QString("错误提示"));
        QVERIFY2(box.text.contains("0到999999"), qPrintable(box.text));
    }
    QCOMPARE(edit->text(), shown);
}

// A refused entry returns to what the controller last confirmed: a read-back, or a write it echoed.
void tst_DeviceLine::refusedEntryReturnsToConfirmedValue()
{
    MessageBoxSeam::setHandler([](QWidget *, const MessageBoxSeam::Box &) { return QMessageBox::Ok; });
    Row row;
    row.clickOnline();
    auto *edit = child<QLineEdit>(row.cur, "lineEdit");
    row.commit(row.cur, "-1");
    QCOMPARE(edit->text(), QString()); // nothing confirmed yet
    row.line.showSetpoint(1, 20.0f);
    row.commit(row.cur, "40");
    row.commit(row.cur, "-1");
    QCOMPARE(edit->text(), QString("20")); // 40 is not confirmed yet
    row.line.confirmSetpoint(1, 40.0f);
    row.commit(row.cur, "1e7");
    QCOMPARE(edit->text(), QString("40"));
    row.line.confirmSetpoint(2, 9.0f); // the other field's write
    row.commit(row.cur, "1e7");
    QCOMPARE(edit->text(), QString("40"));
    MessageBoxSeam::reset();
}

// A given-up write empties its field and marks the line edit yellow; the controller's value read
// back fills it, and only a confirmed write of the same field takes the mark away and shows the
// written value. The entry's own style, which shows the control mode, stays as it was.
void tst_DeviceLine::givenUpSetpointMarksItsField_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("mode");
    QTest::newRow("instantaneous, in force") << 1 << 0;
    QTest::newRow("cumulative, greyed") << 2 << 0;
    QTest::newRow("cumulative, in force") << 2 << 1;
}

void tst_DeviceLine::givenUpSetpointMarksItsField()
{
    QFETCH(int, kind);
    QFETCH(int, mode);
    Row row;
    row.clickOnline();
    row.line.showDeviceMode(mode);
    CustomSpimbox *entry = kind == 1 ? row.cur : row.cum;
    CustomSpimbox *other = kind == 1 ? row.cum : row.cur;
    auto *edit = child<QLineEdit>(entry, "lineEdit");
    const QString entryStyle = entry->styleSheet();
    const QString otherStyle = other->styleSheet();
    row.line.showSetpoint(kind, 5.0f);
    row.line.showSetpoint(3 - kind, 6.0f);
    edit->setText("80"); // what the operator committed

    row.line.markSetpointFailed(kind);
    QCOMPARE(edit->text(), QString());
    QCOMPARE(edit->styleSheet(), QString("background-color: yellow;"));
    QCOMPARE(entry->styleSheet(), entryStyle);
    QCOMPARE(other->styleSheet(), otherStyle);
    QCOMPARE(child<QLineEdit>(other, "lineEdit")->styleSheet(), QString());
    QCOMPARE(child<QLineEdit>(other, "lineEdit")->text(), QString("6"));

    row.line.showSetpoint(kind, 5.0f);
    QCOMPARE(edit->text(), QString("5"));
    QCOMPARE(edit->styleSheet(), QString("background-color: yellow;"));
    row.line.confirmSetpoint(3 - kind, 7.0f);
    QCOMPARE(edit->styleSheet(), QString("background-color: yellow;"));
    QCOMPARE(child<QLineEdit>(other, "lineEdit")->text(), QString("7"));
    row.line.showSetpoint(kind, 5.0f); // read before the next write went out
    row.line.confirmSetpoint(kind, 8.0f);
    QCOMPARE(edit->styleSheet(), QString());
    QCOMPARE(edit->text(), QString("8"));
    QCOMPARE(entry->styleSheet(), entryStyle);
    QCOMPARE(row.line.findChildren<QLineEdit *>().size(), 2);
}

void tst_DeviceLine::readingFormats_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("expected");
    QTest::newRow("flow three decimals") << 1 << 5.0f << "btn_currentFlow"
                                         << "5.000";
    QTest::newRow("flow rounds") << 1 << 12.3456f << "btn_currentFlow"
                                 << "12.346";
    QTest::newRow("cumulative three decimals") << 2 << 1234.5f << "btn_cumFlow"
                                               << "1234.500";
    QTest::newRow("temperature one decimal") << 3 << 23.46f << "btn_temp"
                                             << "23.5";
    QTest::newRow("negative temperature") << 3 << -4.04f << "btn_temp"
                                          << "-4.0";
    QTest::newRow("pressure in KPa") << 4 << 998.0f << "btn_press"
                                     << "1.0";
    QTest::newRow("atmospheric pressure") << 4 << 101325.0f << "btn_press"
                                          << "101.3";
    QTest::newRow("noise below zero flow") << 1 << -0.0004f << "btn_currentFlow"
                                           << "0.000";
    QTest::newRow("noise below zero pressure") << 4 << -40.0f << "btn_press"
                                               << "0.0";
    QTest::newRow("small negative flow keeps its sign") << 1 << -0.002f << "btn_currentFlow"
                                                        << "-0.002";
    QTest::newRow("large flow stays fixed-point") << 1 << 1.5e7f << "btn_currentFlow"
                                                  << "15000000.000";
}

void tst_DeviceLine::readingFormats()
{
    QFETCH(int, type);
    QFETCH(float, value);
    QFETCH(QString, button);
    QFETCH(QString, expected);
    Row row;
    row.line.showReading(type, value);
    QCOMPARE(row.reading(button.toLatin1())->text(), expected);
    Row decoded; // the worker's reading of the same value
    decoded.line.showReading(Reading::fromDeviceValue(type, 7, value, ReadTime::now()));
    QCOMPARE(decoded.reading(button.toLatin1())->text(), expected);
}

void tst_DeviceLine::unusableReadingKeepsText_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("shown"); // what the reading of 5 before it shows
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    QTest::newRow("NaN flow") << 1 << nan << "btn_currentFlow" << "5.000";
    QTest::newRow("NaN cumulative flow") << 2 << nan << "btn_cumFlow" << "5.000";
    QTest::newRow("infinite temperature") << 3 << infinity << "btn_temp" << "5.0";
    QTest::newRow("negative infinite pressure") << 4 << -infinity << "btn_press" << "0.0";
}

void tst_DeviceLine::unusableReadingKeepsText()
{
    QFETCH(int, type);
    QFETCH(float, value);
    QFETCH(QString, button);
    QFETCH(QString, shown);
    Row row;
    row.line.showReading(type, 5);
    QCOMPARE(row.reading(button.toLatin1())->text(), shown);
    row.line.showReading(Reading::fromDeviceValue(type, 7, value, ReadTime::now()));
    QCOMPARE(row.reading(button.toLatin1())->text(), shown);
    row.line.showReading(type, value);
    QCOMPARE(row.reading(button.toLatin1())->text(), shown);
}

void tst_DeviceLine::readingButtonTogglesVisibility_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("type");
    QTest::newRow("instantaneous") << "btn_currentFlow" << 1;
    QTest::newRow("cumulative") << "btn_cumFlow" << 2;
    QTest::newRow("temperature") << "btn_temp" << 3;
    QTest::newRow("pressure") << "btn_press" << 4;
}

void tst_DeviceLine::readingButtonTogglesVisibility()
{
    QFETCH(QString, button);
    QFETCH(int, type);
    Row row;
    myButton *reading = row.reading(button.toLatin1());
    QTest::mouseClick(reading, Qt::LeftButton);
    row.line.showReading(type, 2000);
    QCOMPARE(reading->text(), QString());
    QCOMPARE(reading->styleSheet(), kHidden);

    QTest::mouseClick(reading, Qt::LeftButton);
    QCOMPARE(row.log, (QStringList{QString("show(7,%1,0)").arg(type), QString("show(7,%1,1)").arg(type)}));
    QCOMPARE(reading->styleSheet(), QString("background-color: white;border: none;"));
    QCOMPARE(reading->text(), QString());
    row.line.showReading(type, 2000);
    QVERIFY(!reading->text().isEmpty());
}

void tst_DeviceLine::modeButtonSwitchesAndAsksSetpoints()
{
    Row row;
    row.clickOnline();
    row.takeLog();

    row.clickMode();
    QCOMPARE(row.log, (QStringList{"mode(7,0)", "readBack(1,7)", "readBack(2,7)"}));
    QCOMPARE(row.mode->text(), QString("瞬时量控制"));
    QVERIFY(!row.cur->isReadOnlyState());
    QVERIFY(row.cum->isReadOnlyState());
    QCOMPARE(row.cur->styleSheet(), kActive);
    QCOMPARE(row.cum->styleSheet(), kGrey);
    row.takeLog();

    row.clickMode();
    QCOMPARE(row.log, (QStringList{"mode(7,1)", "readBack(2,7)", "readBack(1,7)"}));
    QCOMPARE(row.mode->text(), QString("累积量控制"));
    QVERIFY(row.cur->isReadOnlyState());
    QVERIFY(!row.cum->isReadOnlyState());
    QCOMPARE(row.cur->styleSheet(), kGrey);
    QCOMPARE(row.cum->styleSheet(), kActive);

    // The read-only entry commits nothing.
    row.takeLog();
    row.commit(row.cur, "5");
    row.commit(row.cum, "6");
    QCOMPARE(row.log, QStringList{"setpoint(7,2,6)"});
}

void tst_DeviceLine::modeButtonSwitchesInEnglish()
{
    EnglishInterface english;
    Row row;
    QCOMPARE(row.mode->text(), QString("Total mode"));
    row.clickOnline();
    row.takeLog();
    row.clickMode();
    QCOMPARE(row.log, (QStringList{"mode(7,0)", "readBack(1,7)", "readBack(2,7)"}));
    QCOMPARE(row.mode->text(), QString("Flow mode"));
    row.takeLog();
    row.clickMode();
    QCOMPARE(row.log, (QStringList{"mode(7,1)", "readBack(2,7)", "readBack(1,7)"}));
    QCOMPARE(row.mode->text(), QString("Total mode"));
    // A mode read back from the controller is what the next click switches from.
    row.line.showDeviceMode(0);
    QCOMPARE(row.mode->text(), QString("Flow mode"));
    row.takeLog();
    row.clickMode();
    QCOMPARE(row.log.value(0), QString("mode(7,1)"));
}

void tst_DeviceLine::modeButtonIgnoredUnlessConnected()
{
    Row row;
    StdoutCapture out;
    row.clickOnline();
    row.clickOnline(); // 断开
    row.takeLog();
    row.clickMode();
    QVERIFY(row.log.isEmpty());
    QCOMPARE(row.mode->text(), QString("累积量控制"));
}

void tst_DeviceLine::setModeViewOnlyForOwnAddress()
{
    Row row;
    row.clickOnline();
    row.line.setModeView(8, 1);
    row.line.setModeView(7, 3);
    QCOMPARE(row.cur->styleSheet(), QString("QLineEdit { font-size: 20px; }"));
    QCOMPARE(row.cum->styleSheet(), QString("QLineEdit { font-size: 20px; }"));
    QVERIFY(!row.cur->isReadOnlyState());
    QVERIFY(!row.cum->isReadOnlyState());

    row.line.setModeView(7, 1);
    QCOMPARE(row.cur->styleSheet(), kActive);
    QCOMPARE(row.cum->styleSheet(), kGrey);
    QVERIFY(row.cum->isReadOnlyState());
}

void tst_DeviceLine::showDeviceModeLocksOtherEntry_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("curReadOnly");
    QTest::newRow("instantaneous") << 0 << "瞬时量控制" << false;
    QTest::newRow("cumulative") << 1 << "累积量控制" << true;
}

void tst_DeviceLine::showDeviceModeLocksOtherEntry()
{
    QFETCH(int, mode);
    QFETCH(QString, caption);
    QFETCH(bool, curReadOnly);
    Row row;
    row.line.showDeviceMode(1 - mode);
    row.line.showDeviceMode(mode);
    QCOMPARE(row.mode->text(), caption);
    QCOMPARE(row.cur->isReadOnlyState(), curReadOnly);
    QCOMPARE(row.cum->isReadOnlyState(), !curReadOnly);
    QCOMPARE(row.cur->styleSheet(), curReadOnly ? kGrey : kActive);
    QCOMPARE(row.cum->styleSheet(), curReadOnly ? kActive : kGrey);

    row.line.showDeviceMode(2);
    QCOMPARE(row.mode->text(), caption);
}

void tst_DeviceLine::showSetpointUsesSixDigits_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("cur");
    QTest::addColumn<QString>("cum");
    QTest::newRow("instantaneous") << 1 << 12.5f << "12.5"
                                   << "";
    QTest::newRow("cumulative") << 2 << 0.1f << ""
                                << "0.1";
    QTest::newRow("six significant digits") << 1 << 1234567.0f << "1.23457e+06"
                                            << "";
    QTest::newRow("other type ignored") << 3 << 1.0f << ""
                                        << "";
}

void tst_DeviceLine::showSetpointUsesSixDigits()
{
    QFETCH(int, type);
    QFETCH(float, value);
    QFETCH(QString, cur);
    QFETCH(QString, cum);
    Row row;
    row.line.showSetpoint(type, value);
    QCOMPARE(child<QLineEdit>(row.cur, "lineEdit")->text(), cur);
    QCOMPARE(child<QLineEdit>(row.cum, "lineEdit")->text(), cum);
}

// A row taken online reads its setpoints back about a second later; an operator who has started
// typing by then must still send what they typed.
void tst_DeviceLine::readBackWaitsWhileOperatorTypes()
{
    Row row;
    StdoutCapture out;
    row.line.show();
    QVERIFY(QTest::qWaitForWindowActive(&row.line));
    row.clickOnline();
    auto *edit = child<QLineEdit>(row.cur, "lineEdit");
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    QTest::keyClicks(edit, "50");
    row.line.showSetpoint(1, 30.0f);
    QCOMPARE(edit->text(), QString("50"));
    row.takeLog();
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(row.log, QStringList{"setpoint(7,1,50)"});
    row.line.showSetpoint(1, 30.0f); // committed: read-backs show again
    QCOMPARE(edit->text(), QString("30"));
}

void tst_DeviceLine::resetRowEmptiesTheRow()
{
    Row row;
    StdoutCapture out;
    row.clickOnline();
    row.clickOnline(); // 断开: readings blank and locked
    row.line.resetRow();
    QCOMPARE(row.online->text(), QString("上线"));
    QCOMPARE(row.online->styleSheet(), kWhite);
    QCOMPARE(row.id->text(), QString());
    QCOMPARE(row.reading("btn_press")->text(), QString("压力"));
    QCOMPARE(row.reading("btn_press")->styleSheet(), kWhite);
    QCOMPARE(row.reading("btn_cumFlow")->text(), QString("累积流量"));
    QCOMPARE(row.cur->styleSheet(), kActive);

    row.line.setDeviceId("9");
    row.takeLog();
    row.clickOnline();
    QCOMPARE(row.log.first(), QString("online(3,9)"));
}

void tst_DeviceLine::resetRowForgetsPreviousSetpoints()
{
    Row row;
    row.clickOnline();
    row.line.showSetpoint(1, 20);
    row.line.showSetpoint(2, 3);
    row.line.showReading(4, 101325);
    row.line.resetRow();
    QCOMPARE(child<QLineEdit>(row.cur, "lineEdit")->text(), QString());
    QCOMPARE(child<QLineEdit>(row.cum, "lineEdit")->text(), QString());
    QCOMPARE(row.reading("btn_press")->text(), QString("压力"));
}

// The port closed under an online row: its readings show their captions again, the address
// stays, and the row is taken online again by its button as after a scan.
void tst_DeviceLine::resetKeepingAddressLeavesRowAsScanned()
{
    Row row;
    row.clickOnline();
    row.line.showReading(3, 23.4f);
    row.line.showSetpoint(1, 20);
    row.line.markSetpointFailed(2);
    row.line.resetKeepingAddress();
    QCOMPARE(row.online->text(), QString("上线"));
    QCOMPARE(row.online->styleSheet(), kWhite);
    QCOMPARE(row.id->text(), QString("7"));
    for (const char *name : kReadingButtons)
        QCOMPARE(row.reading(name)->styleSheet(), kWhite);
    QCOMPARE(row.reading("btn_temp")->text(), QString("温度"));
    QCOMPARE(row.reading("btn_currentFlow")->text(), QString("瞬时流量"));
    QCOMPARE(child<QLineEdit>(row.cur, "lineEdit")->text(), QString());
    QCOMPARE(child<QLineEdit>(row.cum, "lineEdit")->styleSheet(), QString());
    row.takeLog();
    row.clickOnline();
    QCOMPARE(row.log, (QStringList{"online(3,7)", "refresh(7,1)", "askMode(7)"}));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_DeviceLine)
#include "tst_DeviceLine.moc"
