// The application recording controller 1 of a simulated bus, through its own windows, until it is
// killed: what the crash test starts, kills and then recovers after.
//   recording_child PORT DATA_FILE JOURNAL_FOLDER
// Prints "recording" once the recording runs and the controller is online.

#include "AuditTrail.h"
#include "DeviceLine.h"
#include "DeviceThread.h"
#include "FileDialogSeam.h"
#include "JournalFiles.h"
#include "MessageBoxSeam.h"
#include "PlotWidget.h"
#include "Workspace.h"
#include "deviceWindow.h"
#include "mainWnd.h"
#include "saveFileSetWidget.h"
#include "setSerialport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <cstdio>

namespace {
template <class T> T *child(QObject *parent, const char *name)
{
    return parent->findChild<T *>(QString::fromLatin1(name));
}

QAction *menuEntry(const mainWnd &window, const QString &caption)
{
    for (QAction *menu : window.menuBar()->actions())
        for (QAction *entry : menu->menu()->actions())
            if (entry->text() == caption)
                return entry;
    return nullptr;
}

int failed(const char *step)
{
    std::fprintf(stderr, "recording_child: %s\n", step);
    return 3;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 4)
        return failed("usage: recording_child PORT DATA_FILE JOURNAL_FOLDER");
    const QString port = QString::fromLocal8Bit(argv[1]);
    const QString dataFile = QString::fromLocal8Bit(argv[2]);
    JournalFiles::setFolder(QString::fromLocal8Bit(argv[3]));
    // What a window keeps stays in the folder of its journals' folder, never in the user's folders.
    const QString beside = QFileInfo(QString::fromLocal8Bit(argv[3])).absolutePath();
    Workspace::setDefaultPath(QDir(beside).filePath(QStringLiteral("workspace.json")));
    AuditTrail::setDefaultFolder(beside);
    MessageBoxSeam::setHandler([](QWidget *, const MessageBoxSeam::Box &) { return QMessageBox::Ok; });
    FileDialogSeam::setHandler([dataFile](QWidget *, const FileDialogSeam::Request &) { return dataFile; });

    mainWnd window(nullptr, 100);
    window.worker()->setCommParam(2, 1);
    window.worker()->setCommParam(3, 250);

    window.set485();
    child<QComboBox>(window.serialWnd, "combox_port")->setEditText(port);
    auto *open = child<QPushButton>(window.serialWnd, "btn_open");
    QTest::mouseClick(open, Qt::LeftButton);
    if (!QTest::qWaitFor([open] { return open->text() == QStringLiteral("已打开"); }, 20000))
        return failed("the port did not open");
    menuEntry(window, QStringLiteral("查询设备"))->trigger();
    if (!QTest::qWaitFor([&window] { return window.foundDeviceIds() == QList<quint8>{1}; }, 30000))
        return failed("controller 1 was not found");

    // The operator's recording of controller 1, online, from now for an hour, all four types.
    QTest::mouseClick(window.devicePage()->row(0)->findChild<QPushButton *>(QStringLiteral("btn_online")),
                      Qt::LeftButton);
    window.savePlotFile();
    saveFileSetWidget *form = window.saveWnd;
    child<QComboBox>(form, "comboBox")->setCurrentIndex(1);
    child<QLineEdit>(form, "lineEdit_3")->setText(QStringLiteral("1"));
    child<QLineEdit>(form, "lineEdit_4")->setText(QStringLiteral("0"));
    for (const char *box : {"checkbox_current", "checkbox_cumflow", "checkBox_temp", "checkBox_press"})
        child<QCheckBox>(form, box)->setChecked(true);
    QTest::mouseClick(child<QPushButton>(form, "pushButton"), Qt::LeftButton);
    if (!window.chartPages().first()->isRecording())
        return failed("the recording did not start");
    std::printf("recording\n");
    std::fflush(stdout);
    return app.exec();
}
