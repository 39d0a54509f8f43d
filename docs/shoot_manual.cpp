// Takes the manual's screenshots from the real main window on a bus that quorix-sim serves:
//   shoot_manual PORT OUTPUT_DIR
// The interface speaks the language the environment chooses (QUORIX_LANG=en for the English manual's
// pictures), so the steps below wait on changes of state, never on a caption of one language.
// It opens the port, scans, takes two controllers online, enters a setpoint and grabs the pages and
// windows an operator meets. Pages that are still empty are grabbed as they are.
#include "BusHealthWindow.h"
#include "DeviceLine.h"
#include "Language.h"
#include "MessageBoxSeam.h"
#include "MqttLinkWiring.h"
#include "MqttSettingsWindow.h"
#include "deviceWindow.h"
#include "loginWnd.h"
#include "lossWidget.h"
#include "mainWnd.h"
#include "saveFileSetWidget.h"
#include "setAdminParam.h"
#include "setDeviceParamWin.h"
#include "setSerialport.h"
#include "stageControlWidget.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {

QString g_outputDir;
int g_failures = 0;

// Lets the window and its worker run until the condition holds or the time is up.
bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void settle(int ms)
{
    waitFor([] { return false; }, ms);
}

void shoot(QWidget *widget, const char *name)
{
    if (!widget) {
        std::fprintf(stderr, "shoot_manual: nothing to grab for %s\n", name);
        ++g_failures;
        return;
    }
    settle(100);
    const QString path = QDir(g_outputDir).filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    if (!widget->grab().save(path)) {
        std::fprintf(stderr, "shoot_manual: cannot write %s\n", qPrintable(path));
        ++g_failures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

template <class T> T *child(QObject *parent, const char *name)
{
    return parent ? parent->findChild<T *>(QString::fromLatin1(name)) : nullptr;
}

void step(bool done, const char *what)
{
    if (!done) {
        std::fprintf(stderr, "shoot_manual: %s did not happen\n", what);
        ++g_failures;
    }
}

void openPort(mainWnd &window, const QString &port)
{
    window.set485();
    auto *ports = child<QComboBox>(window.serialWnd, "combox_port");
    auto *open = child<QPushButton>(window.serialWnd, "btn_open");
    child<QComboBox>(window.serialWnd, "combox_baud")->setCurrentText(QStringLiteral("9600"));
    settle(300); // the port listing arrives first
    ports->setEditText(port);
    const QString closedCaption = open->text();
    open->click();
    step(waitFor([open, closedCaption] { return open->text() != closedCaption; }, 5000), "opening the port");
}

void takeOnline(DeviceLine *row)
{
    auto *online = child<QPushButton>(row, "btn_online");
    const QString offlineCaption = online->text();
    online->click();
    step(waitFor([online, offlineCaption] { return online->text() != offlineCaption; }, 5000),
         "taking the controller online");
    // The mode read-back is one request slot: let it pass before the next row.
    settle(1500);
}

void enterSetpoint(DeviceLine *row, const QString &value)
{
    auto *entry = child<QWidget>(row, "edit_cur");
    auto *field = child<QLineEdit>(entry, "lineEdit");
    if (!field || field->isReadOnly())
        return;
    field->setFocus();
    field->setText(value);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(field, &enter);
}

// An example programme in the first stage item, so that its table is not blank in the picture.
void fillExampleProgramme(QWidget *stagePage)
{
    auto *table = stagePage ? stagePage->findChild<QTableWidget *>(QStringLiteral("table_steps")) : nullptr;
    if (!table)
        return;
    const int steps[][2] = {{100, 30}, {250, 60}, {50, 30}, {0, 10}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 2; ++c)
            table->setItem(r, c, new QTableWidgetItem(QString::number(steps[r][c])));
}

void chooseFirstDevice(QWidget *window, const char *comboName)
{
    if (auto *devices = child<QComboBox>(window, comboName); devices && devices->count() > 1)
        devices->setCurrentIndex(1);
    settle(3000);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Language::installChosen(&app);
    if (argc != 3) {
        std::fprintf(stderr, "usage: shoot_manual PORT OUTPUT_DIR\n");
        return 2;
    }
    const QString port = QString::fromLocal8Bit(argv[1]);
    g_outputDir = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(g_outputDir);
    QStringList boxes;
    MessageBoxSeam::setHandler([&boxes](QWidget *, const MessageBoxSeam::Box &box) {
        boxes << box.text;
        return box.kind == MessageBoxSeam::Kind::Question ? QMessageBox::Yes : QMessageBox::Ok;
    });

    mainWnd window;
    window.setWindowTitle(QStringLiteral("QUORIX_RS485(HALVANE)"));
    window.resize(1500, 820);
    window.show();
    auto *tabs = child<QTabWidget>(&window, "tabWidget");

    openPort(window, port);
    shoot(window.serialWnd, "serial-dialog");
    window.serialWnd->hide();

    window.action_checkDevice();
    step(waitFor([&boxes] { return !boxes.isEmpty(); }, 10000), "the scan report");
    deviceWindow *page = window.devicePage();
    if (page->rowCount() > 1) {
        takeOnline(page->row(0));
        takeOnline(page->row(1));
        enterSetpoint(page->row(0), QStringLiteral("50"));
    }
    settle(4000);
    shoot(&window, "main-window");
    shoot(page, "device-page");

    window.loss_Statistics();
    settle(2500);
    shoot(window.lossWnd, "loss-window");
    window.lossWnd->hide();

    window.showBusHealth();
    window.healthWnd->resize(1120, 420);
    settle(3500); // a few refreshes and frames
    shoot(window.healthWnd, "diagnostics-window");
    if (auto *pages = child<QTabWidget>(window.healthWnd, "tabWidget")) {
        pages->setCurrentIndex(1);
        settle(1500);
        shoot(window.healthWnd, "diagnostics-traffic");
        pages->setCurrentIndex(0);
    }
    window.healthWnd->hide();
    // Example settings, not those the user running this keeps.
    window.mqttLink()->openSettings();
    MqttSettings example;
    example.host = QStringLiteral("broker.lab");
    example.user = QStringLiteral("bench-1");
    example.prefix = QStringLiteral("quorix/bench-1");
    example.publish = true;
    window.mqttLink()->settingsWindow()->setSettings(example, false);
    shoot(window.mqttLink()->settingsWindow(), "mqtt-window");
    window.mqttLink()->settingsWindow()->hide();

    tabs->setCurrentIndex(1);
    fillExampleProgramme(window.stagePage());
    shoot(&window, "stage-page");
    settle(6000); // the chart pages gather a few readings meanwhile
    tabs->setCurrentIndex(3);
    shoot(&window, "chart-page");
    tabs->setCurrentIndex(2);
    shoot(&window, "history-page");
    tabs->setCurrentIndex(0);

    window.savePlotFile();
    shoot(window.saveWnd, "save-window");
    window.saveWnd->hide();

    window.setOrdParam();
    chooseFirstDevice(window.ordParamWnd, "comboBox");
    shoot(window.ordParamWnd, "ordinary-parameters");
    window.ordParamWnd->hide();

    window.setAdmin();
    shoot(window.adminLoginWnd, "login");
    window.adminLoginWnd->hide();
    // The picture shows the window the administrator password opens.
    window.resoponseLogWnd(true);
    window.adminParamWnd->setWindowFlags(Qt::Window);
    window.adminParamWnd->show();
    chooseFirstDevice(window.adminParamWnd, "combox_deviceId");
    shoot(window.adminParamWnd, "admin-parameters");
    window.adminParamWnd->hide();

    MessageBoxSeam::reset();
    return g_failures == 0 ? 0 : 1;
}
