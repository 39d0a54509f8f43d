#include "MessageBoxSeam.h"
#include "setSerialport.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <iostream>
#include <sstream>

namespace {
const QString red = QStringLiteral("QPushButton { background-color: red; }");
const QString green = QStringLiteral("QPushButton { background-color: limegreen; }");

QStringList items(const QComboBox *box)
{
    QStringList names;
    for (int i = 0; i < box->count(); ++i)
        names.append(box->itemText(i));
    return names;
}

// Collects what is written to standard output while it lives.
class StdoutCapture
{
public:
    StdoutCapture() : m_previous(std::cout.rdbuf(m_captured.rdbuf())) {}
    ~StdoutCapture() { std::cout.rdbuf(m_previous); }
    QString text() const { return QString::fromStdString(m_captured.str()); }

private:
    std::ostringstream m_captured;
    std::streambuf *m_previous;
};
} // namespace

class tst_setSerialport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void windowLayout();
    void buttonFollowsWorkerReports();
    void hurriedSecondOpenIsNotSent();
    void emptyPortListSendsEmptyName();
    void refreshKeepsLastPortFirst_data();
    void refreshKeepsLastPortFirst();
    void refreshFromSystemListing();
    void openFailureNamesTheReason_data();
    void openFailureNamesTheReason();
    void typedPathThatOpenedStaysListed();
    void longPathShowsItsEnd();

private:
    void clickOpen() { QTest::mouseClick(m_button, Qt::LeftButton); }
    void expectRequest(int type, const QString &name, int baud);
    void expectButton(const QString &caption, const QString &style);

    QWidget *m_parent = nullptr;
    setSerialport *m_dialog = nullptr;
    QComboBox *m_port = nullptr;
    QComboBox *m_baud = nullptr;
    QPushButton *m_button = nullptr;
    QSignalSpy *m_requests = nullptr;
    QList<MessageBoxSeam::Box> m_boxes;
    QStringList m_stylesAtBox;
};

void tst_setSerialport::init()
{
    m_parent = new QWidget;
    m_dialog = new setSerialport(m_parent);
    m_port = m_dialog->findChild<QComboBox *>(QStringLiteral("combox_port"));
    m_baud = m_dialog->findChild<QComboBox *>(QStringLiteral("combox_baud"));
    m_button = m_dialog->findChild<QPushButton *>(QStringLiteral("btn_open"));
    QVERIFY(m_port && m_baud && m_button);
    m_requests = new QSignalSpy(m_dialog, &setSerialport::sig_openSer);
    m_boxes.clear();
    m_stylesAtBox.clear();
    MessageBoxSeam::setHandler([this](QWidget *, const MessageBoxSeam::Box &box) {
        m_boxes.append(box);
        m_stylesAtBox.append(m_button->styleSheet());
        return QMessageBox::Ok;
    });
    m_dialog->show();
}

void tst_setSerialport::cleanup()
{
    MessageBoxSeam::reset();
    delete m_requests;
    delete m_parent;
}

void tst_setSerialport::expectRequest(int type, const QString &name, int baud)
{
    QCOMPARE(m_requests->count(), 1);
    const QList<QVariant> request = m_requests->takeFirst();
    QCOMPARE(request.at(0).toInt(), type);
    QCOMPARE(request.at(1).toString(), name);
    QCOMPARE(request.at(2).toInt(), baud);
}

void tst_setSerialport::expectButton(const QString &caption, const QString &style)
{
    QCOMPARE(m_button->text(), caption);
    QCOMPARE(m_button->styleSheet(), style);
}

void tst_setSerialport::windowLayout()
{
    // Qt adds the title and system-menu hints; what matters is minimise and close without maximise.
    const Qt::WindowFlags separateWindow(0x08004001);
    QCOMPARE(m_dialog->windowFlags() & separateWindow, separateWindow);
    QVERIFY(!(m_dialog->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(m_dialog->isWindow());
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Form"));
    QVERIFY(m_port->isEditable());
    QCOMPARE(items(m_baud), QStringList({"115200", "57600", "56000", "43000", "38400", "19200", "9600"}));
    QCOMPARE(m_baud->currentText(), QStringLiteral("115200"));
    QCOMPARE(m_port->geometry(), QRect(QPoint(259, 61), QPoint(378, 95)));
    QCOMPARE(m_button->geometry(), QRect(QPoint(259, 229), QPoint(378, 263)));
    expectButton(QStringLiteral("打开"), QString());
}

void tst_setSerialport::buttonFollowsWorkerReports()
{
    const QString typed = QStringLiteral("/dev/serial/by-id/usb-rs485-if00-port0");
    m_port->setEditText(typed);
    m_baud->setCurrentText(QStringLiteral("9600"));

    clickOpen();
    expectRequest(1, typed, 9600);
    QCOMPARE(m_dialog->lastPort(), typed);
    m_dialog->slot_ser_status(1);
    expectButton(QStringLiteral("已打开"), green);

    // Closing turns the button red at once, before the worker reports.
    clickOpen();
    expectRequest(2, typed, 9600);
    expectButton(QStringLiteral("打开"), red);
    m_dialog->slot_ser_status(2);
    expectButton(QStringLiteral("已关闭"), green);

    // A click on "已关闭" asks to close again; the worker finds the port closed and says nothing.
    clickOpen();
    expectRequest(2, typed, 9600);
    expectButton(QStringLiteral("打开"), red);

    clickOpen();
    expectRequest(1, typed, 9600);
    m_dialog->slot_ser_status(3);
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(int(m_boxes.at(0).kind), int(MessageBoxSeam::Kind::Information));
    QCOMPARE(m_boxes.at(0).title, QStringLiteral("提示"));
    QCOMPARE(m_boxes.at(0).text, QStringLiteral("串口打开失败"));
    // The button turns back to its plain start only once the operator has closed the box.
    QCOMPARE(m_stylesAtBox, QStringList{red});
    expectButton(QStringLiteral("打开"), QString());

    // Unknown reports change nothing.
    m_dialog->slot_ser_status(0);
    m_dialog->slot_ser_status(4);
    expectButton(QStringLiteral("打开"), QString());
    QCOMPARE(m_boxes.size(), 1);
}

// The worker serves an open between two ticks, which may take seconds: a second click meanwhile
// would queue an open that fails on the port the first one opened.
void tst_setSerialport::hurriedSecondOpenIsNotSent()
{
    clickOpen();
    clickOpen();
    expectRequest(1, m_port->currentText(), m_baud->currentText().toInt());
    m_dialog->slot_ser_status(1);
    clickOpen();
    expectRequest(2, m_port->currentText(), m_baud->currentText().toInt());
    // Once answered, even by a failure, the next click opens again.
    clickOpen();
    m_dialog->slot_ser_status(3);
    m_requests->clear();
    clickOpen();
    QCOMPARE(m_requests->count(), 1);
}

void tst_setSerialport::emptyPortListSendsEmptyName()
{
    m_dialog->refreshPortNames({});
    QCOMPARE(m_port->count(), 0);
    clickOpen();
    expectRequest(1, QString(), 115200);
}

void tst_setSerialport::refreshKeepsLastPortFirst_data()
{
    QTest::addColumn<QString>("lastPort");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("last port listed") << "COM3" << QStringList{"COM1", "COM3"} << QStringList{"COM3", "COM1"};
    QTest::newRow("last port gone") << "ttyUSB0" << QStringList{"ttyS0", "ttyS1"}
                                    << QStringList{"ttyUSB0", "ttyS0", "ttyS1"};
    QTest::newRow("typed path") << "/dev/pts/4" << QStringList{"ttyS0"} << QStringList{"/dev/pts/4", "ttyS0"};
    QTest::newRow("no last port") << "" << QStringList{"ttyS1", "ttyS0"} << QStringList{"ttyS1", "ttyS0"};
    QTest::newRow("nothing at all") << "" << QStringList{} << QStringList{};
}

void tst_setSerialport::refreshKeepsLastPortFirst()
{
    QFETCH(QString, lastPort);
    QFETCH(QStringList, listed);
    QFETCH(QStringList, shown);
    if (!lastPort.isEmpty()) {
        m_port->setEditText(lastPort);
        clickOpen();
        m_requests->clear();
    }
    m_dialog->refreshPortNames(listed);
    QCOMPARE(items(m_port), shown);
    QCOMPARE(m_port->currentText(), shown.value(0));

    // A second listing does not pile the ports up.
    m_dialog->refreshPortNames(listed);
    QCOMPARE(items(m_port), shown);
}

void tst_setSerialport::refreshFromSystemListing()
{
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    QStringList expected;
    for (const QSerialPortInfo &port : ports)
        expected.append(port.portName());
    StdoutCapture out;
    m_dialog->slot_refreshSerCombox(ports);
    QCOMPARE(items(m_port), expected);
    const QRegularExpression line(
        QStringLiteral("^进入串口配置类是\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\n$"));
    QVERIFY2(line.match(out.text()).hasMatch(), qPrintable(out.text()));
}

void tst_setSerialport::openFailureNamesTheReason_data()
{
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("no reason given") << "" << QStringList{"串口打开失败"};
    QTest::newRow("missing device") << "No such file or directory"
                                    << QStringList{"串口打开失败", "No such file or directory"};
    QTest::newRow("permission") << "Permission denied"
                                << QStringList{"串口打开失败", "Permission denied", "dialout"};
}

void tst_setSerialport::openFailureNamesTheReason()
{
    QFETCH(QString, reason);
    QFETCH(QStringList, lines);
    m_dialog->setOpenFailureReason(reason);
    m_dialog->slot_ser_status(3);
    // A later failure without a reason of its own does not repeat the old one.
    m_dialog->slot_ser_status(3);
    QCOMPARE(m_boxes.size(), 2);
    QCOMPARE(m_boxes.at(0).title, QStringLiteral("提示"));
    const QStringList shown = m_boxes.at(0).text.split(QLatin1Char('\n'));
    QCOMPARE(shown.size(), lines.size());
    for (int i = 0; i < lines.size(); ++i)
        QVERIFY2(shown.at(i).contains(lines.at(i)), qPrintable(shown.at(i)));
    QCOMPARE(m_boxes.at(1).text, QStringLiteral("串口打开失败"));
}

void tst_setSerialport::typedPathThatOpenedStaysListed()
{
    const QString worked = QStringLiteral("/tmp/quorix-bus");
    const QString mistyped = QStringLiteral("/dev/ttyUSB9");
    m_port->setEditText(worked);
    clickOpen();
    m_dialog->slot_ser_status(1);
    clickOpen();
    m_dialog->slot_ser_status(2);
    m_port->setEditText(mistyped);
    clickOpen();
    m_dialog->slot_ser_status(3);

    m_dialog->refreshPortNames({"ttyS0"});
    QCOMPARE(items(m_port), QStringList({mistyped, "ttyS0", worked}));
    m_dialog->refreshPortNames({"ttyS0", worked});
    QCOMPARE(items(m_port), QStringList({mistyped, "ttyS0", worked}));
}

void tst_setSerialport::longPathShowsItsEnd()
{
    const QString path = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    m_port->setEditText(path);
    clickOpen();
    m_dialog->refreshPortNames({"ttyS0"});
    QCOMPARE(m_port->toolTip(), path);
    QCOMPARE(m_port->lineEdit()->cursorPosition(), path.size());
    QCOMPARE(m_port->itemData(0, Qt::ToolTipRole).toString(), path);
    QCOMPARE(m_port->view()->textElideMode(), Qt::ElideLeft);
    m_port->setCurrentIndex(1);
    QCOMPARE(m_port->toolTip(), QStringLiteral("ttyS0"));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_setSerialport)
#include "tst_setSerialport.moc"
