// What a restore may write: the rows ticked by default, the ones never written, a clone that never
// carries the address, and a backup file that survives being written and read back.

#include "ParameterBackup.h"

#include <QTest>

using namespace ParameterBackup;

class tst_backupPlan : public QObject
{
    Q_OBJECT

private slots:
    void everyRestorableParameterWritesTheRegisterItReads();
    void defaultTicksLeaveTheLinkSettingsAlone();
    void neverWrittenEvenWhenNamed_data();
    void neverWrittenEvenWhenNamed();
    void fileRoundTripsAndRefusesOtherShapes();
};

namespace {

Backup everything(int address, double offset)
{
    Backup backup;
    backup.address = address;
    backup.time = QDateTime(QDate(2026, 12, 8), QTime(10, 42, 5), Qt::OffsetFromUTC, 8 * 3600);
    backup.program = QStringLiteral("quorix-cli 2.0.0");
    backup.baud = 9600;
    backup.administrator = true;
    for (const Parameter &parameter : parameters()) {
        Value value;
        value.masked = parameter.role == Role::Masked;
        value.value = parameter.role == Role::Address ? address : parameter.reg + offset;
        value.raw = QByteArray(4, '\x01');
        backup.values.insert(QLatin1String(parameter.name), value);
    }
    return backup;
}

QStringList names(const QVector<Row> &rows)
{
    QStringList list;
    for (const Row &row : rows)
        list << QLatin1String(row.parameter->name);
    return list;
}

} // namespace

void tst_backupPlan::everyRestorableParameterWritesTheRegisterItReads()
{
    for (const Parameter &parameter : parameters()) {
        const RegisterMap::WriteTarget target = writeTarget(parameter);
        if (!restorable(parameter)) {
            QCOMPARE(int(target.encoding), int(RegisterMap::Encoding::None));
            continue;
        }
        QCOMPARE(target.reg, parameter.reg);
        const bool isFloat = parameter.decoding == Decoding::Float;
        QCOMPARE(target.encoding, isFloat ? RegisterMap::Encoding::Float : RegisterMap::Encoding::Int16);
        const bool readByItsWindow = parameter.level == Level::Ordinary ? RegisterMap::ordinaryReads().contains(parameter.reg)
                                                                        : RegisterMap::adminReads().contains(parameter.reg);
        QVERIFY(readByItsWindow);
    }
}

void tst_backupPlan::defaultTicksLeaveTheLinkSettingsAlone()
{
    QString error;
    const auto plan = restorePlan(everything(1, 0), everything(1, 1), {}, error);
    QVERIFY(plan);
    QCOMPARE(names(*plan), (QStringList{"gas_number", "gas_coefficient", "backlight_time", "power_loss_save",
                                       "power_on_delay", "cumulative_interval", "alarm_mode", "alarm_polarity",
                                       "alarm_value_1", "alarm_value_2", "dead_band", "gain_p", "gain_i", "gain_d",
                                       "input_filter"}));
    for (const Row &row : *plan)
        QCOMPARE(row.left->value, row.parameter->reg + 0.0); // the backup's value is what is written

    const auto linkTicked = restorePlan(everything(1, 0), everything(1, 1), {"baud_index", "active_output"}, error);
    QVERIFY(linkTicked);
    QCOMPARE(names(*linkTicked), (QStringList{"baud_index", "active_output"}));

    // A clone: every default row, and the address neither by default nor when named.
    const auto clone = restorePlan(everything(1, 0), everything(3, 1), {}, error);
    QVERIFY(clone);
    QCOMPARE(clone->size(), plan->size());
    QVERIFY(!restorePlan(everything(1, 0), everything(3, 1), {"address"}, error));
    QVERIFY(error.contains("address"));

    // Equal rows are not written; masked passwords never differ.
    const auto same = restorePlan(everything(1, 0), everything(1, 0), {}, error);
    QVERIFY(same && same->isEmpty());
    for (const Row &row : compare(everything(1, 0), everything(3, 1)))
        QCOMPARE(row.differs, row.parameter->role != Role::Masked);
}

void tst_backupPlan::neverWrittenEvenWhenNamed_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("control mode") << "control_mode";
    QTest::newRow("ordinary menu password") << "ordinary_menu_password";
    QTest::newRow("advanced menu password") << "advanced_menu_password";
    QTest::newRow("not a parameter") << "factory_reset";
}

void tst_backupPlan::neverWrittenEvenWhenNamed()
{
    QFETCH(QString, name);
    QString error;
    QVERIFY(!restorePlan(everything(1, 0), everything(1, 1), {name}, error));
    QVERIFY(error.contains(name));
}

void tst_backupPlan::fileRoundTripsAndRefusesOtherShapes()
{
    Backup original = everything(3, 0.25);
    original.values[QStringLiteral("ordinary_menu_password")].value = 4321;
    const QByteArray json = toJson(original);
    QVERIFY(!json.contains("4321"));
    QVERIFY(json.contains("\"time\": \"2026-12-08T10:42:05+08:00\""));
    QCOMPARE(fileName(original), QStringLiteral("设备3-2026-12-08-1042.json"));
    QString error;
    const auto read = fromJson(json, error);
    QVERIFY2(read, qPrintable(error));
    QCOMPARE(read->time, original.time);
    QCOMPARE(read->address, 3);
    for (const Row &row : compare(original, *read))
        QVERIFY2(!row.differs, row.parameter->name);

    QVERIFY(!fromJson("[]", error));
    QVERIFY(!fromJson(QByteArray(json).replace("quorix-parameter-backup", "other"), error));
    QVERIFY(!fromJson(QByteArray(json).replace("\"format_version\": 1", "\"format_version\": 2"), error));
    QVERIFY(!fromJson(QByteArray(json).replace("\"value\": 12290.25", "\"value\": \"x\""), error));
    QVERIFY(error.contains("gas_number"));
}

#include "TestRunner.h"

QUORIX_TEST_APPLESS_MAIN(tst_backupPlan)
#include "tst_backupPlan.moc"
