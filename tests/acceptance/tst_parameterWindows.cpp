// An operator and an administrator at the parameter windows, played through the widgets of the real
// main window, its worker thread and a simulated bus on a pseudo-terminal.

#include "shell/MainWindowFixture.h"

#include "ParameterWindow.h"
#include "RegisterMap.h"
#include "SerialPort.h"
#include "SimExchange.h"
#include "loginWnd.h"
#include "myEdit.h"
#include "setAdminParam.h"
#include "setDeviceParamWin.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

namespace {

// Where a control shows a register: as an integer, a real, or as the selector item of its value
// (Flipped: item 0 stands for 1 and item 1 for 0).
enum class As
{
    Integer,
    Real,
    Item,
    FlippedItem
};
struct Shown
{
    const char *control;
    quint16 reg;
    As as;
};

const QList<Shown> ordinaryShown{{"edit_flow_number", 0x3002, As::Integer},
                                 {"edit_cun_flow_number", 0x3004, As::Real},
                                 {"edit_backlight_time", 0x3008, As::Integer},
                                 {"combox__poweroff", 0x300A, As::FlippedItem},
                                 {"edit_open_delay", 0x300C, As::Integer},
                                 {"edit_acc_interval", 0x300E, As::Integer},
                                 {"edit_method_alarm", 0x3010, As::Integer},
                                 {"combox_alarm_level", 0x3012, As::Item},
                                 {"edit_alarm_1", 0x3014, As::Real},
                                 {"edit_alarm_2", 0x3018, As::Real},
                                 {"edit_id", RegisterMap::DeviceAddress, As::Integer}};

const QList<Shown> adminShown{{"comboBox", 0x301E, As::Item},
                              {"edit_active_out_fre", 0x3020, As::Integer},
                              {"comboBox_2", 0x3034, As::FlippedItem},
                              {"edit_adjust_dead_area", 0x3022, As::Real},
                              {"edit_adjust_P", 0x3026, As::Real},
                              {"edit_adjust_i", 0x302A, As::Real},
                              {"edit_adjust_d", 0x302E, As::Real},
                              {"edit_analog_input_fre", 0x3032, As::Integer},
                              {"edit_password_ori", 0x3036, As::Integer},
                              {"edit_password_seior", 0x303A, As::Integer},
                              {"lineEdit", RegisterMap::DeviceAddress, As::Integer}};

bool isWrite(const QByteArray &frame)
{
    return frame.size() > 1 && (quint8(frame[1]) == 0x06 || quint8(frame[1]) == 0x10);
}

// The main window with controllers 1 and 3 found on an open port.
class Session
{
public:
    explicit Session(int replyTimeoutMs = 250) : f(setup(replyTimeoutMs)), w(*f.window)
    {
        w.show();
        opened = f.openPort();
    }
    static MainWindowFixture::Setup setup(int replyTimeoutMs)
    {
        MainWindowFixture::Setup s;
        s.addresses = {1, 3};
        s.tickMs = 40;
        s.replyTimeoutMs = replyTimeoutMs;
        return s;
    }
    // Every question from now on is answered so; every box is still recorded.
    void answerQuestions(QMessageBox::StandardButton answer)
    {
        MessageBoxSeam::setHandler([this, answer](QWidget *, const MessageBoxSeam::Box &box) {
            f.boxes.boxes.append(box);
            return box.kind == MessageBoxSeam::Kind::Question ? answer : QMessageBox::Ok;
        });
    }
    // Opens the window by its menu entry (the administrator's through the login) with nothing
    // selected yet.
    QWidget *open(bool admin)
    {
        if (admin)
            return loginAdmin() ? w.adminParamWnd : nullptr;
        menuEntry(w, QStringLiteral("普通参数设置"))->trigger();
        return w.ordParamWnd;
    }
    static const char *selectorOf(bool admin) { return admin ? "combox_deviceId" : "comboBox"; }
    static const QList<Shown> &shownIn(bool admin) { return admin ? adminShown : ordinaryShown; }
    QList<QByteArray> writesHeard() const
    {
        QList<QByteArray> writes;
        for (const QByteArray &frame : f.bus->receivedFrames())
            if (isWrite(frame))
                writes << frame;
        return writes;
    }
    bool scan(const QString &found)
    {
        f.boxes.boxes.clear();
        menuEntry(w, QStringLiteral("查询设备"))->trigger();
        return QTest::qWaitFor([&] { return !f.boxes.boxes.isEmpty(); }, 5000) &&
               f.boxes.lastText() == QStringLiteral("查询设备完成，查询到的设备为:") + found;
    }
    bool loginAdmin()
    {
        w.setAdmin();
        auto *password = f.child<QLineEdit>(w.adminLoginWnd, "edit_password");
        QTest::keyClicks(password, QStringLiteral("guest902731"));
        QTest::keyClick(password, Qt::Key_Return);
        return w.adminParamWnd->isVisible();
    }
    static bool activate(QWidget *window)
    {
        QApplication::setActiveWindow(window);
        return QTest::qWaitForWindowActive(window);
    }
    static void select(QWidget *window, const char *selector, int address)
    {
        auto *combo = window->findChild<QComboBox *>(QLatin1String(selector));
        combo->setCurrentIndex(combo->findText(QString::number(address)));
    }
    static void commit(QWidget *window, const char *field, const QString &text)
    {
        auto *edit = window->findChild<myEdit *>(QLatin1String(field));
        edit->setFocus();
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    // The controls that do not (yet) show what the controller holds.
    QStringList mismatches(QWidget *window, const QList<Shown> &table, quint8 address) const
    {
        QStringList wrong;
        for (const Shown &shown : table) {
            const int held = f.bus->intRegister(address, shown.reg);
            QString expected = QString::number(held), actual;
            if (auto *combo = window->findChild<QComboBox *>(QLatin1String(shown.control))) {
                actual = QString::number(combo->currentIndex());
                if (shown.as == As::FlippedItem)
                    expected = QString::number(1 - held);
            } else {
                actual = window->findChild<myEdit *>(QLatin1String(shown.control))->text();
                if (shown.as == As::Real)
                    expected = QString::number(double(f.bus->floatRegister(address, shown.reg)), 'g', 6);
            }
            if (actual != expected)
                wrong << QStringLiteral("%1: %2 instead of %3").arg(shown.control, actual, expected);
        }
        return wrong;
    }

    MainWindowFixture f;
    mainWnd &w;
    bool opened = false;
};

} // namespace

class tst_parameterWindows : public QObject
{
    Q_OBJECT
private slots:
    void operatorAndAdministratorSession();
    void administratorWritesInOneTickBothArrive();
    void reopenedWindowShowsTheFittedController_data();
    void reopenedWindowShowsTheFittedController();
    void refusedEntryShowsWhatTheControllerHas_data();
    void refusedEntryShowsWhatTheControllerHas();
    void weightyCommandAskedFirst_data();
    void weightyCommandAskedFirst();
};

void tst_parameterWindows::operatorAndAdministratorSession()
{
    Session s;
    QVERIFY(s.opened);
    SimBus &bus = *s.f.bus;
    bus.setIntRegister(3, 0x3008, 40);
    bus.setFloatRegister(3, 0x3004, 1.75f);
    bus.setIntRegister(3, 0x300A, 0);
    bus.setIntRegister(3, 0x3012, 1);
    bus.setFloatRegister(3, 0x3018, 12.5f);
    QVERIFY(s.scan(QStringLiteral("1,3,")));

    // The operator opens the ordinary window and selects 3: every control shows 3's values.
    menuEntry(s.w, QStringLiteral("普通参数设置"))->trigger();
    setDeviceParamWin *ordinary = s.w.ordParamWnd;
    QVERIFY(Session::activate(ordinary));
    Session::select(ordinary, "comboBox", 3);
    QTRY_COMPARE(s.mismatches(ordinary, ordinaryShown, 3), QStringList{});

    // A 16-bit and a float field committed one after the other reach the controller.
    Session::commit(ordinary, "edit_backlight_time", QStringLiteral("25"));
    QTRY_COMPARE(bus.intRegister(3, 0x3008), 25);
    Session::commit(ordinary, "edit_alarm_1", QStringLiteral("2.5"));
    QTRY_COMPARE(bus.floatRegister(3, 0x3014), 2.5f);

    // A silent controller: the committed field turns yellow.
    SimFaults silent;
    silent.silent = true;
    bus.setFaults(3, silent);
    Session::commit(ordinary, "edit_open_delay", QStringLiteral("7"));
    auto *delay = ordinary->findChild<myEdit *>(QStringLiteral("edit_open_delay"));
    QTRY_COMPARE(delay->styleSheet(), QStringLiteral("background-color: yellow;"));
    bus.clearFaults();

    // Clear the cumulative flow, then move 3 to address 5 and find it there with a new scan.
    bus.setFloatRegister(3, RegisterMap::CumulativeFlow, 100.0f);
    QTest::mouseClick(ordinary->findChild<QPushButton *>(QStringLiteral("pushButton")), Qt::LeftButton);
    QTRY_VERIFY(bus.floatRegister(3, RegisterMap::CumulativeFlow) < 1.0f);
    s.f.boxes.boxes.clear();
    Session::commit(ordinary, "edit_id", QStringLiteral("5"));
    QTRY_COMPARE(s.f.boxes.texts(), (QStringList{QStringLiteral("提示|确定将设备3的ID号改为5吗？"),
                                                 QStringLiteral("提示|修改设备ID成功，请重新查询设备确认")}));
    QVERIFY(s.scan(QStringLiteral("1,5,")));

    // The administrator logs in and selects 1: every control shows 1's values.
    QVERIFY(s.loginAdmin());
    setAdminParam *admin = s.w.adminParamWnd;
    QVERIFY(Session::activate(admin));
    Session::select(admin, "combox_deviceId", 1);
    QTRY_COMPARE(s.mismatches(admin, adminShown, 1), QStringList{});

    // Cleaning on, then off: both commands reach the controller, the caption ends where it began.
    auto *cleaning = admin->findChild<QPushButton *>(QStringLiteral("pushButton_4"));
    QTest::mouseClick(cleaning, Qt::LeftButton);
    QTRY_VERIFY(
        bus.receivedFrames().contains(SerialPort::buildWriteInt16Frame(1, RegisterMap::Command, 166)));
    QTest::mouseClick(cleaning, Qt::LeftButton);
    QTRY_VERIFY(
        bus.receivedFrames().contains(SerialPort::buildWriteInt16Frame(1, RegisterMap::Command, 266)));
    QTRY_VERIFY(admin->settled());
    QCOMPARE(cleaning->text(), QStringLiteral("清洗打开"));

    // Switching controllers while a block read is on the bus, with the focus moving through every
    // field before and after the values arrive, writes nothing to either controller.
    QVERIFY(Session::activate(ordinary));
    bus.clearReceivedFrames();
    Session::select(ordinary, "comboBox", 1);
    QTRY_VERIFY(bus.receivedFrames().contains(SimExchange::readRequest(1, 0x3002)));
    Session::select(ordinary, "comboBox", 5);
    for (int pass = 0; pass < 2; ++pass) {
        for (myEdit *field : ordinary->edits()) {
            field->setFocus();
            QTest::keyClick(field, Qt::Key_Tab);
        }
        QTRY_COMPARE(s.mismatches(ordinary, ordinaryShown, 5), QStringList{});
    }
    QVERIFY(s.f.flushWorker());
    for (const QByteArray &frame : bus.receivedFrames())
        QVERIFY2(!isWrite(frame), frame.toHex(' ').constData());
}

void tst_parameterWindows::administratorWritesInOneTickBothArrive()
{
    Session s;
    QVERIFY(s.opened);
    QVERIFY(s.scan(QStringLiteral("1,3,")));
    QVERIFY(s.loginAdmin());
    setAdminParam *admin = s.w.adminParamWnd;
    QVERIFY(Session::activate(admin));
    Session::select(admin, "combox_deviceId", 1);
    QTRY_COMPARE(s.mismatches(admin, adminShown, 1), QStringList{});
    Session::commit(admin, "edit_adjust_P", QStringLiteral("1.5"));
    Session::commit(admin, "edit_password_ori", QStringLiteral("4321"));
    QTRY_COMPARE(s.f.bus->intRegister(1, 0x3036), 4321);
    QTRY_COMPARE(s.f.bus->floatRegister(1, 0x3026), 1.5f);
}

void tst_parameterWindows::reopenedWindowShowsTheFittedController_data()
{
    QTest::addColumn<bool>("admin");
    // Registers set differently in the controller taken out and in the one fitted in its place.
    QTest::addColumn<QList<quint16>>("intRegisters");
    QTest::addColumn<QList<quint16>>("floatRegisters");
    QTest::newRow("ordinary") << false << QList<quint16>{0x3008, 0x300A, 0x3012, 0x3002}
                              << QList<quint16>{0x3004, 0x3018};
    QTest::newRow("administrator") << true << QList<quint16>{0x301E, 0x3034, 0x3036, 0x3032}
                                   << QList<quint16>{0x3026, 0x302E};
}

void tst_parameterWindows::reopenedWindowShowsTheFittedController()
{
    QFETCH(bool, admin);
    QFETCH(QList<quint16>, intRegisters);
    QFETCH(QList<quint16>, floatRegisters);
    Session s(250);
    QVERIFY(s.opened);
    SimBus &bus = *s.f.bus;
    const auto setUp = [&](int seed) {
        for (quint16 reg : intRegisters)
            bus.setIntRegister(3, reg, seed % 2); // selectors take 0 and 1, fields any value
        for (quint16 reg : floatRegisters)
            bus.setFloatRegister(3, reg, 1.25f * float(seed));
    };
    setUp(1);
    QVERIFY(s.scan(QStringLiteral("1,3,")));
    QWidget *window = s.open(admin);
    QVERIFY(window && Session::activate(window));
    Session::select(window, Session::selectorOf(admin), 3);
    QTRY_COMPARE(s.mismatches(window, Session::shownIn(admin), 3), QStringList{});
    window->close();

    // Controller 3 is taken out and another one, set up differently, is fitted at its address.
    bus.removeController(3);
    bus.addController(3);
    setUp(2);
    QVERIFY(s.mismatches(window, Session::shownIn(admin), 3).size() >= intRegisters.size());
    window = s.open(admin);
    QVERIFY(window && Session::activate(window));
    QTRY_COMPARE(s.mismatches(window, Session::shownIn(admin), 3), QStringList{});
    QCOMPARE(s.writesHeard(), QList<QByteArray>{});
}

void tst_parameterWindows::refusedEntryShowsWhatTheControllerHas_data()
{
    QTest::addColumn<bool>("admin");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("box");
    QTest::newRow("ordinary: not a number") << false << "edit_open_delay"
                                            << "1e3"
                                            << "输入错误|请输入有效数值.";
    QTest::newRow("ordinary: an address already taken") << false << "edit_id"
                                                        << "1"
                                                        << "输入错误|请输入有效数值.";
    QTest::newRow("administrator: not a number") << true << "edit_adjust_i"
                                                 << "x1"
                                                 << "Input Error|Please enter a valid number.";
    QTest::newRow("administrator: beyond 16 bits") << true << "edit_password_seior"
                                                   << "70000"
                                                   << "Input Error|Please enter a valid number.";
}

void tst_parameterWindows::refusedEntryShowsWhatTheControllerHas()
{
    QFETCH(bool, admin);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, box);
    Session s(250);
    QVERIFY(s.opened);
    s.f.bus->setFloatRegister(3, 0x302A, 0.75f);
    QVERIFY(s.scan(QStringLiteral("1,3,")));
    QWidget *window = s.open(admin);
    QVERIFY(window && Session::activate(window));
    Session::select(window, Session::selectorOf(admin), 3);
    QTRY_COMPARE(s.mismatches(window, Session::shownIn(admin), 3), QStringList{});
    s.f.boxes.boxes.clear();
    Session::commit(window, field.toLatin1().constData(), text);
    QCOMPARE(s.f.boxes.texts(), QStringList{box});
    QCOMPARE(s.mismatches(window, Session::shownIn(admin), 3), QStringList{});
    QVERIFY(s.f.flushWorker());
    QCOMPARE(s.writesHeard(), QList<QByteArray>{});
}

void tst_parameterWindows::weightyCommandAskedFirst_data()
{
    QTest::addColumn<bool>("admin");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("input"); // a field's text, a selector's index, "" for a button
    QTest::addColumn<QString>("question");
    QTest::addColumn<QByteArray>("write"); // the frame the controller hears once the operator says Yes
    const auto row = [](const char *name, bool admin, const char *control, const char *input,
                        const char *question, quint16 reg, quint16 value) {
        QTest::newRow(name) << admin << QString::fromLatin1(control) << QString::fromLatin1(input)
                            << QStringLiteral("提示|") + QString::fromUtf8(question)
                            << SerialPort::buildWriteInt16Frame(3, reg, value);
    };
    row("reset cumulative", false, "pushButton", "", "确定对设备3执行“累积量清零”吗？", RegisterMap::Command,
        1);
    row("new address", false, "edit_id", "7", "确定将设备3的ID号改为7吗？", RegisterMap::DeviceAddress, 7);
    row("factory initialisation", true, "pushButton", "", "确定对设备3执行“出厂初始化”吗？",
        RegisterMap::FactoryInit, RegisterMap::FactoryInitCode);
    row("zero the flow", true, "pushButton_2", "", "确定对设备3执行“流量清零”吗？", RegisterMap::Command, 66);
    row("analog input zero", true, "pushButton_5", "", "确定对设备3执行“模拟量输入零点设置”吗？",
        RegisterMap::Command, 455);
    row("analog input full scale", true, "pushButton_6", "", "确定对设备3执行“模拟量输入满量程设置”吗？",
        RegisterMap::Command, 466);
    row("baud rate", true, "comboBox", "3", "确定将设备3的波特率改为43000吗？", 0x301E, 3);
}

void tst_parameterWindows::weightyCommandAskedFirst()
{
    QFETCH(bool, admin);
    QFETCH(QString, control);
    QFETCH(QString, input);
    QFETCH(QString, question);
    QFETCH(QByteArray, write);
    Session s(250);
    QVERIFY(s.opened);
    SimBus &bus = *s.f.bus;
    QVERIFY(s.scan(QStringLiteral("1,3,")));
    QWidget *window = s.open(admin);
    QVERIFY(window && Session::activate(window));
    Session::select(window, Session::selectorOf(admin), 3);
    QTRY_COMPARE(s.mismatches(window, Session::shownIn(admin), 3), QStringList{});
    const auto act = [&] {
        if (input.isEmpty())
            QTest::mouseClick(window->findChild<QPushButton *>(control), Qt::LeftButton);
        else if (auto *selector = window->findChild<QComboBox *>(control))
            selector->setCurrentIndex(input.toInt());
        else
            Session::commit(window, control.toLatin1().constData(), input);
    };

    // Answered No: the controller hears nothing, and the window shows what it still has.
    bus.clearReceivedFrames();
    s.f.boxes.boxes.clear();
    s.answerQuestions(QMessageBox::No);
    act();
    // A write asked for would go out at the latest in the tick that serves the next read.
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("pushButton_3")), Qt::LeftButton);
    QTRY_VERIFY(bus.receivedFrames().contains(SimExchange::readRequest(3, RegisterMap::DeviceAddress)));
    QTRY_VERIFY(static_cast<ParameterWindow *>(window)->settled());
    QVERIFY(s.f.flushWorker());
    QCOMPARE(s.writesHeard(), QList<QByteArray>{});
    QCOMPARE(s.f.boxes.boxes.size(), 1);
    QCOMPARE(int(s.f.boxes.boxes.first().kind), int(MessageBoxSeam::Kind::Question));
    QCOMPARE(s.f.boxes.texts(), QStringList{question});
    QCOMPARE(s.mismatches(window, Session::shownIn(admin), 3), QStringList{});

    // Answered Yes: it is written.
    s.answerQuestions(QMessageBox::Yes);
    act();
    QTRY_COMPARE(s.writesHeard(), QList<QByteArray>{write});
    QCOMPARE(s.f.boxes.texts().first(), question);
    QCOMPARE(s.f.boxes.texts().at(1), question);
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_parameterWindows)
#include "tst_parameterWindows.moc"
