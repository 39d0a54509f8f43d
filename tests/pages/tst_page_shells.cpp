#include "PlotWidget.h"
#include "itemStageControl.h"
#include "saveFileSetWidget.h"
#include "setAdminParam.h"
#include "setDeviceParamWin.h"
#include "stageControlWidget.h"

#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QValueAxis>
#include <QtTest>

#include <limits>
#include <memory>

using DeviceList = QList<quint8>;

class tst_page_shells : public QObject
{
    Q_OBJECT

private slots:
    void parameterWindowDeviceList_data();
    void parameterWindowDeviceList();
    void stageItemDeviceField_data();
    void stageItemDeviceField();
    void stageItemsAreIndependent();
    void saveWindowKeepsPromptAndReplacesDevices();
    void chartPageValidatesReadings_data();
    void chartPageValidatesReadings();
    void chartPageShowsFourTitledCharts();
    void saveWindowOffersTypesAndConfirm();
};

namespace {
// Runs one scan report (clear, then one address at a time) on either parameter window.
template <typename Window> DeviceList reportScan(Window &window, const DeviceList &found)
{
    window.clearCombox();
    for (quint8 id : found)
        window.slot_isBeenFindDevice(id);
    return window.listedDevices();
}

template <typename Window> void checkDeviceList(const QString &comboName)
{
    QFETCH(DeviceList, firstScan);
    QFETCH(DeviceList, secondScan);
    QFETCH(DeviceList, expected);
    Window window;
    reportScan(window, firstScan);
    QCOMPARE(reportScan(window, secondScan), expected);
    auto *combo = window.template findChild<QComboBox *>(comboName);
    QVERIFY(combo);
    QCOMPARE(combo->count(), expected.size() + 1);
    QCOMPARE(combo->itemText(0), QStringLiteral("选择设备"));
    QCOMPARE(combo->currentIndex(), 0);
}
} // namespace

void tst_page_shells::parameterWindowDeviceList_data()
{
    QTest::addColumn<bool>("admin");
    QTest::addColumn<DeviceList>("firstScan");
    QTest::addColumn<DeviceList>("secondScan");
    QTest::addColumn<DeviceList>("expected");
    for (bool admin : {false, true}) {
        const char *window = admin ? "admin" : "ordinary";
        QTest::addRow("%s: fill", window)
            << admin << DeviceList{} << DeviceList{1, 3, 12} << DeviceList{1, 3, 12};
        QTest::addRow("%s: rescan replaces", window)
            << admin << DeviceList{1, 3, 12} << DeviceList{7} << DeviceList{7};
        QTest::addRow("%s: rescan finds none", window)
            << admin << DeviceList{2, 5} << DeviceList{} << DeviceList{};
        QTest::addRow("%s: repeated address listed once", window)
            << admin << DeviceList{} << DeviceList{4, 4, 9, 4} << DeviceList{4, 9};
    }
}

void tst_page_shells::parameterWindowDeviceList()
{
    QFETCH(bool, admin);
    if (admin)
        checkDeviceList<setAdminParam>(QStringLiteral("combox_deviceId"));
    else
        checkDeviceList<setDeviceParamWin>(QStringLiteral("comboBox"));
}

void tst_page_shells::stageItemDeviceField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("deviceId");
    QTest::addColumn<bool>("usable");
    QTest::newRow("address") << "12" << 12 << true;
    QTest::newRow("empty") << "" << 0 << false;
    QTest::newRow("not a number") << "a7" << 0 << false;
}

void tst_page_shells::stageItemDeviceField()
{
    QFETCH(QString, text);
    QFETCH(int, deviceId);
    QFETCH(bool, usable);
    itemStageControl item;
    auto *edit = item.findChild<QLineEdit *>(QStringLiteral("edit_deviceId"));
    QVERIFY(edit);
    edit->setText(text);
    QCOMPARE(item.deviceId(), deviceId);
    QCOMPARE(item.hasUsableDevice(), usable);
}

void tst_page_shells::stageItemsAreIndependent()
{
    stageControlWidget page;
    QCOMPARE(page.items().size(), stageControlWidget::ItemCount);
    const DeviceList found{3, 7};
    for (int k = 0; k < found.size(); ++k)
        page.items().at(k)->setDeviceId(found.at(k));
    QCOMPARE(page.items().at(0)->deviceIdText(), QStringLiteral("3"));
    QCOMPARE(page.items().at(1)->deviceId(), 7);
    QVERIFY(!page.items().at(2)->hasUsableDevice());
    QVERIFY(!page.items().at(3)->hasUsableDevice());
}

void tst_page_shells::saveWindowKeepsPromptAndReplacesDevices()
{
    saveFileSetWidget window;
    window.updateDeviceList({1, 3});
    window.updateDeviceList({5});
    QCOMPARE(window.listedDevices(), DeviceList{5});
    auto *combo = window.findChild<QComboBox *>(QStringLiteral("comboBox"));
    QVERIFY(combo);
    QCOMPARE(combo->itemText(0), QStringLiteral("请选择要保存数据的设备ID号"));
}

void tst_page_shells::chartPageValidatesReadings_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<float>("reading");
    QTest::addColumn<int>("accepted");
    QTest::addColumn<float>("kept");
    QTest::newRow("flow as received") << 1 << 12.345f << 1 << 12.345f;
    QTest::newRow("pressure Pa to KPa") << 4 << 250000.0f << 1 << 250.0f;
    QTest::newRow("largest finite accepted")
        << 2 << std::numeric_limits<float>::max() << 1 << std::numeric_limits<float>::max();
    QTest::newRow("NaN dropped") << 3 << std::numeric_limits<float>::quiet_NaN() << 0 << 0.0f;
    QTest::newRow("infinity dropped") << 1 << std::numeric_limits<float>::infinity() << 0 << 0.0f;
    QTest::newRow("unknown type ignored") << 5 << 1.0f << 0 << 0.0f;
}

void tst_page_shells::chartPageValidatesReadings()
{
    QFETCH(int, type);
    QFETCH(float, reading);
    QFETCH(int, accepted);
    QFETCH(float, kept);
    PlotWidget page(nullptr, 0);
    page.addSample(type, 1, reading);
    QCOMPARE(page.sampleCount(type), accepted);
    QCOMPARE(page.lastSample(type), kept);
}

void tst_page_shells::chartPageShowsFourTitledCharts()
{
    PlotWidget page(nullptr, 0);
    auto *rows = page.findChild<QSplitter *>();
    QCOMPARE(rows->orientation(), Qt::Vertical);
    QCOMPARE(rows->count(), 2);
    const QStringList titles{"瞬时流量", "累计流量", "温度", "压力"}, units{"sccm", "L", "℃", "KPa"};
    for (int type = 1; type <= 4; ++type) {
        auto *row = qobject_cast<QSplitter *>(rows->widget((type - 1) / 2));
        QCOMPARE(row->widget((type - 1) % 2), page.plot(type)); // 1 2 above, 3 4 below
        QtCharts::QChart *chart = page.plot(type)->chart();
        QCOMPARE(chart->title(), titles.at(type - 1));
        QCOMPARE(chart->axes(Qt::Horizontal).first()->titleText(), QStringLiteral("时间（秒）"));
        QCOMPARE(chart->axes(Qt::Vertical).first()->titleText(), units.at(type - 1));
    }
    page.resize(800, 800);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QVERIFY(rows->sizes().at(0) > rows->sizes().at(1)); // the top row has the larger share
}

void tst_page_shells::saveWindowOffersTypesAndConfirm()
{
    saveFileSetWidget window;
    QStringList captions;
    for (const char *name : {"checkbox_current", "checkbox_cumflow", "checkBox_temp", "checkBox_press"})
        captions << window.findChild<QCheckBox *>(QLatin1String(name))->text();
    QCOMPARE(captions, (QStringList{"顺时流量", "累计流量", "温度", "压力"}));
    QCOMPARE(window.findChild<QPushButton *>(QStringLiteral("pushButton"))->text(),
             QStringLiteral("确认保存"));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_page_shells)
#include "tst_page_shells.moc"
