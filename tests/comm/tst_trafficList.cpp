// The traffic tab of the diagnostics window fed straight, without a bus: it follows the newest
// frames; scrolled up, it keeps its top frame in place while new frames come, the oldest make way
// and the filter changes.

#include "BusHealthWindow.h"
#include "TrafficModel.h"

#include <QCheckBox>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

class tst_trafficList : public QObject
{
    Q_OBJECT
private slots:
    void followsAndKeepsItsPlace();
};

void tst_trafficList::followsAndKeepsItsPlace()
{
    BusHealthWindow window;
    window.findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(1);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *view = window.findChild<QTableView *>(QStringLiteral("table_traffic"));
    TrafficModel &traffic = *window.trafficModel();
    qint64 wallMs = 0;
    const auto feed = [&](int count) {
        std::vector<FrameRecord> frames(static_cast<size_t>(count));
        for (FrameRecord &frame : frames) {
            frame.wallMs = wallMs++;
            frame.outcome = wallMs % 5 == 0 ? FrameOutcome::Timeout : FrameOutcome::Answered;
        }
        traffic.append(frames);
        traffic.flush();
    };
    const auto newestInView = [&] {
        const QRect last = view->visualRect(traffic.index(traffic.rowCount() - 1, 0));
        return view->viewport()->rect().contains(last.center());
    };
    for (int batch = 0; batch < 3; ++batch) {
        feed(200);
        QTRY_VERIFY(newestInView());
    }

    view->verticalScrollBar()->setValue(300);
    const qint64 top = traffic.numberAt(view->rowAt(0));
    feed(TrafficModel::kKept - 400); // the oldest 200 make way
    QTRY_COMPARE(traffic.numberAt(0), qint64(200));
    QCOMPARE(traffic.numberAt(view->rowAt(0)), top);
    auto *errorsOnly = window.findChild<QCheckBox *>(QStringLiteral("check_errorsOnly"));
    errorsOnly->setChecked(true);
    QCOMPARE(view->rowAt(0), traffic.rowFrom(top));
    QVERIFY(traffic.numberAt(view->rowAt(0)) > top);
    errorsOnly->setChecked(false);
    QCOMPARE(traffic.numberAt(view->rowAt(0)), top);

    view->scrollToBottom();
    feed(100);
    QTRY_VERIFY(newestInView());
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_trafficList)
#include "tst_trafficList.moc"
