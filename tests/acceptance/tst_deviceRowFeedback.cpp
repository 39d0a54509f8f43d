// What a device row tells the operator about setpoints and about a closed port, played through the
// real main window, its worker thread and a simulated bus on a pseudo-terminal.

#include "shell/MainWindowFixture.h"

#include "CustomSpimbox.h"
#include "DeviceLine.h"
#include "RegisterMap.h"
#include "SerialPort.h"
#include "deviceWindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString kYellow = QStringLiteral("background-color: yellow;");
const QString kActiveEntry = QStringLiteral("font-family: Arial; font-size: 20px; font-weight: 300;");
const QString kGreyEntry = QStringLiteral(
    "font-family: Arial; font-size: 20px; font-weight: 300;background-color: gray;border: none");

MainWindowFixture::Setup busOfOneTwoThree()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1, 2, 3};
    setup.tickMs = 50;
    setup.replyTimeoutMs = 250;
    return setup;
}

// Records every box as the fixture's recorder does, and plays what a modal box does to the pointer:
// the field that held it, still focused, sees it leave.
class PointerTakingBoxes
{
public:
    PointerTakingBoxes()
    {
        MessageBoxSeam::setHandler([this](QWidget *, const MessageBoxSeam::Box &box) {
            texts.append(box.title + QLatin1Char('|') + box.text);
            if (QWidget *focused = QApplication::focusWidget()) {
                QEvent leave(QEvent::Leave);
                QCoreApplication::sendEvent(focused, &leave);
            }
            return QMessageBox::Ok;
        });
    }
    ~PointerTakingBoxes() { MessageBoxSeam::reset(); }
    PointerTakingBoxes(const PointerTakingBoxes &) = delete;
    PointerTakingBoxes &operator=(const PointerTakingBoxes &) = delete;

    QStringList texts;
};

// The cells of one device row, found by their object names.
struct Row
{
    DeviceLine *line;
    QPushButton *cell(const char *name) const { return line->findChild<QPushButton *>(QLatin1String(name)); }
    QString online() const { return cell("btn_online")->text(); }
    QString reading(const char *name) const { return cell(name)->text(); }
    CustomSpimbox *entry(int kind) const
    {
        return line->findChild<CustomSpimbox *>(QLatin1String(kind == 1 ? "edit_cur" : "edit_cum"));
    }
    QLineEdit *field(int kind) const { return entry(kind)->findChild<QLineEdit *>(QStringLiteral("lineEdit")); }
    void clickOnline() const { QTest::mouseClick(cell("btn_online"), Qt::LeftButton); }
    // Types into the setpoint field and presses Enter, as the operator does.
    void enter(int kind, const QString &text) const
    {
        QLineEdit *edit = field(kind);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
};

// The online caption, the four readings and the two setpoint fields, joined by "|".
QString shown(const Row &row)
{
    return QStringList{row.online(),           row.reading("btn_currentFlow"), row.reading("btn_cumFlow"),
                       row.reading("btn_temp"), row.reading("btn_press"),       row.field(1)->text(),
                       row.field(2)->text()}
        .join(QLatin1Char('|'));
}

// Returns when the worker has finished this many more ticks (each reports the bus usage once).
bool waitTicks(mainWnd &w, int count)
{
    int ticks = 0;
    QObject counter;
    QObject::connect(w.worker(), &DeviceThread::sig_count_loss, &counter,
                     [&ticks](int type) { ticks += type == 1 ? 1 : 0; });
    return QTest::qWaitFor([&] { return ticks >= count; }, 20000);
}

// Opens the port, scans and returns when the scan report was shown.
bool openAndScan(MainWindowFixture &f, const QStringList &texts)
{
    if (!f.openPort())
        return false;
    menuEntry(*f.window, QStringLiteral("查询设备"))->trigger();
    if (!QTest::qWaitFor([&] { return !texts.isEmpty(); }, 10000) ||
        texts.last() != QStringLiteral("提示|查询设备完成，查询到的设备为:1,2,3,"))
        return false;
    // Back to the main window from the serial dialog, as the operator does.
    f.window->activateWindow();
    return QTest::qWaitForWindowActive(f.window.get());
}

} // namespace

class tst_deviceRowFeedback : public QObject
{
    Q_OBJECT
private slots:
    void setpointShowsWhatTheControllerHas_data();
    void setpointShowsWhatTheControllerHas();
    void closedPortLeavesNoRowLookingLive_data();
    void closedPortLeavesNoRowLookingLive();
};

// Controller 1 runs in the mode whose setpoint is typed; its writes vanish on the line six times in
// a row, so the write is given up. The field then shows the controller's own setpoint under a
// yellow mark (empty when that read is not answered either), until a write of it goes through. An
// entry out of range is refused with one box and the field returns to the confirmed value; text
// that is not a number stays uncommitted without a message.
void tst_deviceRowFeedback::setpointShowsWhatTheControllerHas_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("readBackAnswered");
    QTest::newRow("instantaneous, read back") << 1 << true;
    QTest::newRow("cumulative, read back") << 2 << true;
    QTest::newRow("instantaneous, read-back unanswered too") << 1 << false;
}

void tst_deviceRowFeedback::setpointShowsWhatTheControllerHas()
{
    QFETCH(int, kind);
    QFETCH(bool, readBackAnswered);
    const quint16 reg = kind == 1 ? RegisterMap::InstantSetpoint : RegisterMap::CumulativeSetpoint;
    MainWindowFixture f(busOfOneTwoThree());
    PointerTakingBoxes boxes;
    mainWnd &w = *f.window;
    w.show();
    f.bus->setIntRegister(1, RegisterMap::ControlMode, kind - 1);
    f.bus->setFloatRegister(1, reg, 12.5f);
    QVERIFY(openAndScan(f, boxes.texts));
    Row row{w.devicePage()->row(0)};
    row.clickOnline();
    QTRY_COMPARE(row.field(kind)->text(), QStringLiteral("12.5"));
    QTRY_VERIFY(!row.field(3 - kind)->text().isEmpty());
    QCOMPARE(row.entry(kind)->styleSheet(), kActiveEntry);
    QCOMPARE(row.entry(3 - kind)->styleSheet(), kGreyEntry);
    // Going online asks for the mode twice (the row and the worker each); a read-back of the
    // second round must not still be waiting when the read is made late below.
    QVERIFY(waitTicks(w, 5));

    SimFaults faults;
    faults.lostWrites = 6;
    if (!readBackAnswered) {
        faults.lateRegister = reg;
        faults.lateMs = 600;
    }
    f.bus->setFaults(1, faults);
    f.bus->clearReceivedFrames();
    row.enter(kind, QStringLiteral("50"));
    QTRY_COMPARE_WITH_TIMEOUT(f.bus->lostFrameCount(), 6, 15000);
    QTRY_COMPARE(row.field(kind)->styleSheet(), kYellow);
    if (readBackAnswered) {
        QTRY_COMPARE(row.field(kind)->text(), QStringLiteral("12.5"));
    } else {
        const QByteArray read = SerialPort::appendCrc(SerialPort::buildReadFrame(1, reg, 2));
        QTRY_VERIFY(f.bus->receivedFrames().contains(read));
        QVERIFY(f.flushWorker()); // the read has had its whole wait
        QCOMPARE(row.field(kind)->text(), QString());
    }
    QCOMPARE(row.field(kind)->styleSheet(), kYellow);
    QCOMPARE(row.entry(kind)->styleSheet(), kActiveEntry); // the mode's style stays as it was
    QCOMPARE(row.entry(3 - kind)->styleSheet(), kGreyEntry);
    QCOMPARE(f.bus->floatRegister(1, reg), 12.5f);
    QCOMPARE(row.online(), QStringLiteral("接连"));

    // The next write goes through: the mark goes.
    f.bus->clearFaults();
    row.enter(kind, QStringLiteral("60"));
    QTRY_COMPARE(f.bus->floatRegister(1, reg), 60.0f);
    QTRY_COMPARE(row.field(kind)->styleSheet(), QString());
    QCOMPARE(row.field(kind)->text(), QStringLiteral("60"));

    // Out of range: one box, and the field shows what the controller confirmed.
    boxes.texts.clear();
    row.enter(kind, QStringLiteral("1e7"));
    QCOMPARE(boxes.texts, QStringList{QStringLiteral("错误提示|设定值超出范围，请输入0到999999之间的数值")});
    QCOMPARE(row.field(kind)->text(), QStringLiteral("60"));

    // Not a number: nothing is sent and nothing is said; the text waits to be corrected.
    QSignalSpy requested(w.devicePage(), &deviceWindow::sig_sendBaseParam);
    row.enter(kind, QStringLiteral("6o"));
    QCOMPARE(row.field(kind)->text(), QStringLiteral("6o"));
    QVERIFY(row.field(kind)->hasFocus());
    QCOMPARE(requested.count(), 0);
    QCOMPARE(boxes.texts.size(), 1);
}

// Two rows are online when the operator closes the port in the serial dialog (with the port open,
// or after its adapter was pulled and the rows show "掉线"): at once both rows are as a scan leaves
// them (address kept, "上线", the readings' captions), and no notice follows, however long the
// port stays closed. Reopened, the operator takes a controller online again by its row.
void tst_deviceRowFeedback::closedPortLeavesNoRowLookingLive_data()
{
    QTest::addColumn<bool>("adapterPulledFirst");
    QTest::newRow("open port") << false;
    QTest::newRow("adapter pulled first") << true;
}

void tst_deviceRowFeedback::closedPortLeavesNoRowLookingLive()
{
    QFETCH(bool, adapterPulledFirst);
    MainWindowFixture f(busOfOneTwoThree());
    PointerTakingBoxes boxes;
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(openAndScan(f, boxes.texts));
    const Row rows[] = {{w.devicePage()->row(0)}, {w.devicePage()->row(1)}};
    for (const Row &row : rows)
        row.clickOnline();
    QTRY_VERIFY(rows[0].reading("btn_temp").contains(QLatin1Char('.')));
    QTRY_VERIFY(rows[1].reading("btn_press").contains(QLatin1Char('.')));
    QTRY_COMPARE(rows[0].field(1)->text().isEmpty(), false);
    boxes.texts.clear();
    if (adapterPulledFirst) {
        f.bus->unplug();
        QTRY_COMPARE(boxes.texts, QStringList{QStringLiteral("提示|串口连接中断")});
        QCOMPARE(rows[0].online(), QStringLiteral("掉线"));
        QCOMPARE(f.openButton()->text(), QStringLiteral("已关闭"));
        boxes.texts.clear();
    }

    QTest::mouseClick(f.openButton(), Qt::LeftButton); // the click closes the port
    QVERIFY(f.flushWorker());
    QCOMPARE(w.commMenu()->title(), QStringLiteral("通信设置(未连接)"));
    const QString asScanned = QStringLiteral("上线|瞬时流量|累积流量|温度|压力||");
    for (int k = 0; k < 2; ++k) {
        QCOMPARE(rows[k].line->deviceIdText(), QString::number(k + 1));
        QCOMPARE(shown(rows[k]), asScanned);
    }

    // Far beyond a loss window (six cycles) of every controller, with the adapter back: still no
    // notice, nothing changed, the port stays closed.
    if (adapterPulledFirst)
        QVERIFY(f.bus->replug());
    QVERIFY(waitTicks(w, 20));
    QVERIFY(f.flushWorker());
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(w.commMenu()->title(), QStringLiteral("通信设置(未连接)"));
    for (const Row &row : rows)
        QCOMPARE(shown(row), asScanned);

    // Reopened: the first row is taken online again by its button; the second stays as it is.
    if (f.openButton()->text() != QStringLiteral("打开"))
        QTest::mouseClick(f.openButton(), Qt::LeftButton); // "已关闭" offers "打开" again
    QVERIFY(f.openPort());
    rows[0].clickOnline();
    QCOMPARE(rows[0].online(), QStringLiteral("接连"));
    QTRY_VERIFY(rows[0].reading("btn_temp").contains(QLatin1Char('.')));
    QTRY_COMPARE(rows[0].field(1)->text().isEmpty(), false);
    QCOMPARE(rows[1].online(), QStringLiteral("上线"));
    QCOMPARE(rows[1].reading("btn_temp"), QStringLiteral("温度"));
    QCOMPARE(boxes.texts, QStringList());
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_deviceRowFeedback)
#include "tst_deviceRowFeedback.moc"
