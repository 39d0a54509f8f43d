// "操作记录": the trail of the data folder listed newest first, narrowed by controller, source, kind
// and time span, exported as the CSV of the lines shown; opened from the devices menu, not modal.

#include "shell/MainWindowFixture.h"

#include "TestRunner.h"

#include "AuditListWindow.h"
#include "AuditTrail.h"
#include "BenchModel.h"
#include "BusCodes.h"
#include "FileDialogSeam.h"

#include <QComboBox>
#include <QFile>
#include <QStandardPaths>
#include <QTableWidget>
#include <QtTest>

class tst_auditList : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void listsFiltersAndExports();
    void opensFromTheMenu();
};

void tst_auditList::listsFiltersAndExports()
{
    QTemporaryDir dir;
    const int flow = Bus::code(Bus::SetpointKind::Instant);
    {
        BenchModel model(nullptr);
        model.setScanned({1, 2});
        model.noteOnlineRequest(Bus::code(Bus::OnlineRequest::TakeOnline), 1);
        AuditTrail trail(&model, dir.path());
        model.requestSetpoint(1, flow, 50, Driver::operatorRow());
        model.confirm(1, flow, 50);
        model.requestSetpoint(2, flow, 5, Driver::operatorRow()); // refused: not online
        model.announceStep(1, 20, Driver::programme(3));
    }
    AuditListWindow window(dir.path());
    window.refresh();
    QTableWidget *table = window.table();
    QCOMPARE(table->rowCount(), 5);
    QCOMPARE(table->item(0, 7)->text(), QStringLiteral("programme 3")); // newest first
    QCOMPARE(table->item(1, 8)->text(), QStringLiteral("refused"));

    auto *controller = window.findChild<QComboBox *>(QStringLiteral("combo_controller"));
    QCOMPARE(controller->count(), 3); // all, 1, 2
    controller->setCurrentIndex(controller->findData(2));
    QCOMPARE(table->rowCount(), 2);
    controller->setCurrentIndex(0);
    auto *source = window.findChild<QComboBox *>(QStringLiteral("combo_source"));
    source->setCurrentIndex(source->findData(QStringLiteral("programme")));
    QCOMPARE(table->rowCount(), 1);

    const QString path = dir.filePath(QStringLiteral("audit.csv"));
    FileDialogSeam::setHandler([&](QWidget *, const FileDialogSeam::Request &) { return path; });
    BoxRecorder boxes;
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("btn_export")), Qt::LeftButton);
    FileDialogSeam::reset();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 3); // header, the one line shown, the final newline
    QVERIFY(lines[0].startsWith("time,id,phase,controller"));
    QVERIFY(lines[1].contains(",1,setpoint,50,20,programme 3,"));
    QCOMPARE(boxes.boxes.size(), 1);

    // An alarm acknowledged two days ago: found under its kind, left out of today's lines.
    {
        BenchModel model(nullptr);
        AuditTrail trail(&model, dir.path());
        trail.setClock([] { return QDateTime::currentDateTime().addDays(-2); });
        trail.event({1, QStringLiteral("alarm_ack"), {}, {}, trail.sourceOf(Driver::operatorRow()), {}});
    }
    window.refresh();
    source->setCurrentIndex(0);
    auto *kind = window.findChild<QComboBox *>(QStringLiteral("combo_kind"));
    auto *span = window.findChild<QComboBox *>(QStringLiteral("combo_span"));
    kind->setCurrentIndex(kind->findText(shown("AuditListWindow", "报警确认")));
    QCOMPARE(table->rowCount(), 1);
    span->setCurrentIndex(span->findText(shown("AuditListWindow", "今天")));
    QCOMPARE(table->rowCount(), 0);
    kind->setCurrentIndex(0);
    QCOMPARE(table->rowCount(), 5);
    span->setCurrentIndex(span->findText(shown("AuditListWindow", "最近7天")));
    QCOMPARE(table->rowCount(), 6);
}

void tst_auditList::opensFromTheMenu()
{
    MainWindowFixture f;
    menuEntry(*f.window, QStringLiteral("操作记录"))->trigger();
    QVERIFY(f.window->auditList()->isVisible());
    QVERIFY(!f.window->auditList()->isModal());
    QVERIFY(f.window->auditList()->isWindow());
}

QUORIX_TEST_MAIN(tst_auditList)
#include "tst_auditList.moc"
