#include "CustomSpimbox.h"
#include "DeviceLine.h"
#include "DevicesTestSupport.h"
#include "deviceWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

QPushButton *onlineButton(DeviceLine *row)
{
    return child<QPushButton>(row, "btn_online");
}

void click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace

class tst_DeviceWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { out = std::make_unique<StdoutCapture>(); }
    void cleanup() { out.reset(); }

    void holdsTenEmptyRows();
    void headerCaptionsAndStretches();
    void relaysOnlineRequestAndModeQuery();
    void relaysSetpointModeAndVisibility();
    void relaysDirectSlots();
    void onlineIdsFollowRows();
    void refreshDeviceStatusMarksEveryMatchingRow();
    void refreshDeviceStatusIgnoresConnectedAndUnknown();

private:
    std::unique_ptr<StdoutCapture> out;
};

void tst_DeviceWindow::holdsTenEmptyRows()
{
    deviceWindow page;
    QCOMPARE(page.objectName(), QString("deviceWindow"));
    QCOMPARE(page.rowCount(), 10);
    QCOMPARE(page.findChildren<DeviceLine *>().size(), 10);
    for (int k = 0; k < page.rowCount(); ++k) {
        QCOMPARE(page.row(k)->onlineCaption(), QString("上线"));
        QCOMPARE(page.row(k)->deviceIdText(), QString());
    }
    QVERIFY(!page.row(-1));
    QVERIFY(!page.row(10));
    QVERIFY(page.onlineDeviceIds().isEmpty());
    // Row 0 is the top one: it comes right after the header in the page's layout.
    QCOMPARE(page.layout()->itemAt(1)->widget(), page.row(0));
    QCOMPARE(page.layout()->itemAt(10)->widget(), page.row(9));
}

void tst_DeviceWindow::headerCaptionsAndStretches()
{
    deviceWindow page;
    QWidget *header = page.layout()->itemAt(0)->widget();
    auto *box = qobject_cast<QHBoxLayout *>(header->layout());
    QVERIFY(box);
    const QStringList captions = {"在线状态",          "ID号",           "瞬时流量/sccm",
                                  "累积流量/L",        "温度/℃",         "压力/KPa",
                                  "瞬时流量设定/sccm", "累积流量设定/L", "流量控制模式"};
    const int stretches[] = {2, 1, 2, 2, 2, 2, 3, 3, 2};
    QCOMPARE(box->count(), captions.size());
    for (int i = 0; i < captions.size(); ++i) {
        auto *label = qobject_cast<QLabel *>(box->itemAt(i)->widget());
        QVERIFY(label);
        QCOMPARE(label->text(), captions[i]);
        QCOMPARE(label->font().pointSize(), 15);
        QCOMPARE(label->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
        QCOMPARE(box->stretch(i), stretches[i]);
    }
}

void tst_DeviceWindow::relaysOnlineRequestAndModeQuery()
{
    deviceWindow page;
    page.row(2)->setDeviceId("12");
    QSignalSpy online(&page, &deviceWindow::sig_onlineDevice);
    QSignalSpy mode(&page, &deviceWindow::requestShowMode);
    click(onlineButton(page.row(2)));
    QCOMPARE(online.count(), 1);
    QCOMPARE(online.at(0), (QVariantList{3, 12}));
    QCOMPARE(mode.count(), 1);
    QCOMPARE(mode.at(0).at(0).value<uchar>(), uchar(12));
}

void tst_DeviceWindow::relaysSetpointModeAndVisibility()
{
    deviceWindow page;
    DeviceLine *row = page.row(0);
    row->setDeviceId("5");
    click(onlineButton(row));
    QSignalSpy setpoint(&page, &deviceWindow::sig_sendBaseParam);
    QSignalSpy modeChange(&page, &deviceWindow::sig_sendModeChange);
    QSignalSpy readBack(&page, &deviceWindow::request_show_cumSet);
    QSignalSpy visibility(&page, &deviceWindow::signal_noShowFlow);

    auto *edit = child<QLineEdit>(child<CustomSpimbox>(row, "edit_cur"), "lineEdit");
    QTest::keyClicks(edit, "30");
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(setpoint.count(), 1);
    QCOMPARE(setpoint.at(0).at(0).value<uchar>(), uchar(5));
    QCOMPARE(setpoint.at(0).at(1).toInt(), 1);
    QCOMPARE(setpoint.at(0).at(2).toFloat(), 30.0f);

    click(child<QPushButton>(row, "btn_mode"));
    QCOMPARE(modeChange.count(), 1);
    QCOMPARE(modeChange.at(0).at(1).toInt(), 0);
    QCOMPARE(readBack.count(), 2);
    QCOMPARE(readBack.at(0), (QVariantList{1, 5}));
    QCOMPARE(readBack.at(1), (QVariantList{2, 5}));

    click(child<QPushButton>(row, "btn_temp"));
    QCOMPARE(visibility.count(), 1);
    QCOMPARE(visibility.at(0).at(1).toInt(), 3);
    QCOMPARE(visibility.at(0).at(2).toBool(), false);
}

void tst_DeviceWindow::relaysDirectSlots()
{
    deviceWindow page;
    QSignalSpy mode(&page, &deviceWindow::requestShowMode);
    QSignalSpy flow(&page, &deviceWindow::sig_setFlow);
    QSignalSpy readBack(&page, &deviceWindow::request_show_cumSet);
    page.slot_showMode(300);
    QCOMPARE(mode.at(0).at(0).value<uchar>(), uchar(44));
    page.wid_setFlow(2, 1.5f);
    QCOMPARE(flow.at(0), (QVariantList{2, 1.5f}));
    page.slot_showFlowSetValue(2, 9);
    QCOMPARE(readBack.at(0), (QVariantList{2, 9}));
}

void tst_DeviceWindow::onlineIdsFollowRows()
{
    deviceWindow page;
    page.row(0)->setDeviceId("5");
    page.row(1)->setDeviceId("6");
    click(onlineButton(page.row(0)));
    click(onlineButton(page.row(1)));
    QCOMPARE(page.onlineDeviceIds(), (QList<int>{5, 6}));

    page.refreshDeviceStatus(5, false);
    click(onlineButton(page.row(0))); // 掉线 -> 接连 reports online once more
    QCOMPARE(page.onlineDeviceIds(), (QList<int>{5, 6, 5}));

    click(onlineButton(page.row(0))); // offline removes one occurrence
    QCOMPARE(page.onlineDeviceIds(), (QList<int>{6, 5}));
}

void tst_DeviceWindow::refreshDeviceStatusMarksEveryMatchingRow()
{
    deviceWindow page;
    page.row(1)->setDeviceId("5");
    page.row(4)->setDeviceId("5");
    page.row(2)->setDeviceId("15");
    page.refreshDeviceStatus(5, false);
    for (int k : {1, 4}) {
        QCOMPARE(page.row(k)->onlineCaption(), QString("掉线"));
        QCOMPARE(onlineButton(page.row(k))->styleSheet(),
                 QString("QPushButton { background-color: red;border: none;  }"));
    }
    QCOMPARE(page.row(2)->onlineCaption(), QString("上线"));
    QCOMPARE(page.row(0)->onlineCaption(), QString("上线"));
}

void tst_DeviceWindow::refreshDeviceStatusIgnoresConnectedAndUnknown()
{
    deviceWindow page;
    page.row(0)->setDeviceId("5");
    click(onlineButton(page.row(0)));
    page.refreshDeviceStatus(5, true);
    page.refreshDeviceStatus(9, false);
    page.refreshDeviceStatus(0, false); // empty rows hold no address
    for (int k = 0; k < page.rowCount(); ++k)
        QCOMPARE(page.row(k)->onlineCaption(), QString(k == 0 ? "接连" : "上线"));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_DeviceWindow)
#include "tst_DeviceWindow.moc"
