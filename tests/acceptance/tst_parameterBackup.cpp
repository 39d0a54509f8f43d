// A controller's settings backed up, compared, restored and cloned with quorix-cli on a simulated
// bus, and the backup file held against the README's description of it.

#include "AuditTrail.h"
#include "BackupCli.h"
#include "BusCli.h"
#include "SimBus.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

class tst_parameterBackup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void backupCompareRestoreChangesExactlyWhatDiffers();
    void cloneLeavesTheTargetsAddressAlone();
    void restoreRefusedWhileTheSetpointIsAboveZero();
    void unverifiedWriteIsNeverReportedDone();
    void backupFileHoldsWhatTheReadmeDescribes();
    void withoutThePasswordOnlyOrdinaryParameters();
    void badCommandLinesAndFiles_data();
    void badCommandLinesAndFiles();

private:
    struct Outcome
    {
        int code;
        QString out;
        QString err;
    };
    Outcome cli(QStringList args);
    QString backupOf(int address, const QString &name, bool administrator = true);
    QList<QByteArray> writesHeard(quint8 address) const;

    QTemporaryDir m_dir;
    std::unique_ptr<SimBus> m_bus;
};

void tst_parameterBackup::initTestCase()
{
    SimBus::Options options;
    options.addresses = {1, 3};
    options.linkPath = m_dir.filePath("tty");
    m_bus = std::make_unique<SimBus>(options);
    QVERIFY(m_bus->start());
    QFile password(m_dir.filePath("admin-password"));
    QVERIFY(password.open(QIODevice::WriteOnly));
    password.write("guest902731\n");
    AuditTrail::setDefaultFolder(m_dir.filePath("audit"));
}

void tst_parameterBackup::init()
{
    m_bus->clearFaults();
    for (quint8 address : {1, 3}) {
        m_bus->setIntRegister(address, 0x3008, 30);
        m_bus->setFloatRegister(address, 0x3026, 0.8f);
        m_bus->setFloatRegister(address, 0x3014, 0.0f);
        m_bus->setIntRegister(address, 0x3034, 0);
        m_bus->setFloatRegister(address, 0x303E, 0.0f);
    }
    m_bus->clearReceivedFrames();
}

// "PORT" stands for the bus, "PASSWORD" for the administrator password file.
tst_parameterBackup::Outcome tst_parameterBackup::cli(QStringList args)
{
    for (QString &arg : args)
        arg.replace("PORT", m_bus->portPath()).replace("PASSWORD", m_dir.filePath("admin-password"));
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const int code = BackupCli::wants(args) ? BackupCli(outStream, errStream).run(args)
                                            : BusCli(outStream, errStream).run(args);
    outStream.flush();
    errStream.flush();
    return {code, out, err};
}

QString tst_parameterBackup::backupOf(int address, const QString &name, bool administrator)
{
    QStringList args{"--port", "PORT", "backup", QString::number(address)};
    if (administrator)
        args << "--admin-password-file" << "PASSWORD";
    const Outcome outcome = cli(args);
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (outcome.code != 0 || !file.open(QIODevice::WriteOnly))
        return QString();
    file.write(outcome.out.toUtf8());
    return path;
}

QList<QByteArray> tst_parameterBackup::writesHeard(quint8 address) const
{
    QList<QByteArray> writes;
    for (const QByteArray &frame : m_bus->receivedFrames()) {
        if (frame.size() >= 8 && quint8(frame[0]) == address && frame[1] == 0x06)
            writes.append(frame);
    }
    return writes;
}

void tst_parameterBackup::backupCompareRestoreChangesExactlyWhatDiffers()
{
    const QString before = backupOf(1, "before.json");
    QVERIFY(!before.isEmpty());
    QCOMPARE(cli({"--port", "PORT", "write", "1", "0x3008", "45"}).code, 0);
    QCOMPARE(cli({"--port", "PORT", "write", "1", "0x3026", "1.5", "--float"}).code, 0);
    QCOMPARE(cli({"--port", "PORT", "write", "1", "0x3014", "12.5", "--float"}).code, 0);
    const QString after = backupOf(1, "after.json");
    QVERIFY(!after.isEmpty());

    const Outcome diff = cli({"diff", before, after});
    QCOMPARE(diff.code, 1);
    QCOMPARE(diff.out, QString("backlight_time 0x3008 30 45\nalarm_value_1 0x3014 0 12.5\ngain_p 0x3026 0.8 1.5\n"));
    QCOMPARE(cli({"diff", before, before}).code, 0);

    m_bus->clearReceivedFrames();
    const Outcome dryRun = cli({"--port", "PORT", "restore", "1", before, "--admin-password-file", "PASSWORD"});
    QCOMPARE(dryRun.code, 3);
    QCOMPARE(dryRun.out.count("would write"), 3);
    QVERIFY(writesHeard(1).isEmpty());

    const Outcome restore =
        cli({"--port", "PORT", "restore", "1", before, "--admin-password-file", "PASSWORD", "--yes"});
    QCOMPARE(restore.code, 0);
    QVERIFY2(restore.out.endsWith("written 3, verified 3, failed 0\n"), qPrintable(restore.out));
    QList<quint16> written;
    for (const QByteArray &frame : writesHeard(1))
        written.append(quint16(quint8(frame[2]) << 8 | quint8(frame[3])));
    QCOMPARE(written, (QList<quint16>{0x3008, 0x3014, 0x3026}));
    QCOMPARE(m_bus->intRegister(1, 0x3008), 30);
    QCOMPARE(m_bus->floatRegister(1, 0x3026), 0.8f);
    QCOMPARE(m_bus->floatRegister(1, 0x3014), 0.0f);
    QCOMPARE(cli({"--port", "PORT", "restore", "1", before, "--admin-password-file", "PASSWORD"}).code, 0);
}

void tst_parameterBackup::cloneLeavesTheTargetsAddressAlone()
{
    const QString source = backupOf(1, "source.json");
    QVERIFY(!source.isEmpty());
    m_bus->setIntRegister(3, 0x3008, 50);
    m_bus->setIntRegister(3, 0x3034, 1); // an active output is never switched by default
    m_bus->clearReceivedFrames();

    QCOMPARE(cli({"--port", "PORT", "restore", "3", source, "--only", "address", "--yes"}).code, 2);
    const Outcome clone = cli({"--port", "PORT", "restore", "3", source, "--admin-password-file", "PASSWORD", "--yes"});
    QCOMPARE(clone.code, 0);
    QVERIFY2(clone.out.endsWith("written 1, verified 1, failed 0\n"), qPrintable(clone.out));
    QCOMPARE(m_bus->intRegister(3, 0x3008), 30);
    QCOMPARE(m_bus->intRegister(3, 0x301C), 3);
    QCOMPARE(m_bus->intRegister(3, 0x3034), 1);
    QCOMPARE(m_bus->addresses(), (QList<quint8>{1, 3}));
    const QList<QJsonObject> trail = AuditTrail::readAll(m_dir.filePath("audit"));
    QCOMPARE(trail.last().value("what").toString(), QStringLiteral("clone"));
    QCOMPARE(trail.last().value("parameter").toString(), QStringLiteral("backlight_time"));
    QCOMPARE(trail.last().value("before").toDouble(), 50.0);
    QCOMPARE(trail.last().value("outcome").toString(), QStringLiteral("confirmed"));
    QCOMPARE(trail.last().value("source").toObject().value("level").toString(), QStringLiteral("administrator"));

    const Outcome ticked = cli({"--port", "PORT", "restore", "3", source, "--admin-password-file", "PASSWORD",
                                "--only", "active_output", "--yes"});
    QCOMPARE(ticked.code, 0);
    QCOMPARE(m_bus->intRegister(3, 0x3034), 0);
}

void tst_parameterBackup::restoreRefusedWhileTheSetpointIsAboveZero()
{
    const QString saved = backupOf(1, "flowing.json");
    QVERIFY(!saved.isEmpty());
    m_bus->setIntRegister(1, 0x3008, 45);
    m_bus->setFloatRegister(1, 0x303E, 20.0f);
    m_bus->clearReceivedFrames();
    const Outcome refused = cli({"--port", "PORT", "restore", "1", saved, "--yes"});
    QCOMPARE(refused.code, 1);
    QVERIFY2(refused.err.contains("refused") && refused.err.contains("20"), qPrintable(refused.err));
    QVERIFY(writesHeard(1).isEmpty());
    QCOMPARE(m_bus->intRegister(1, 0x3008), 45);
    QCOMPARE("quorix-cli: " + AuditTrail::readAll(m_dir.filePath("audit")).last().value("reason").toString(),
             refused.err.trimmed());
}

void tst_parameterBackup::unverifiedWriteIsNeverReportedDone()
{
    const QString saved = backupOf(1, "lost.json");
    QVERIFY(!saved.isEmpty());
    m_bus->setIntRegister(1, 0x3008, 45);
    m_bus->setFloatRegister(1, 0x3026, 1.5f);
    SimFaults faults;
    faults.lostWrites = 1;
    m_bus->setFaults(1, faults);
    const Outcome restore = cli({"--port", "PORT", "restore", "1", saved, "--admin-password-file", "PASSWORD", "--yes"});
    QCOMPARE(restore.code, 1);
    QVERIFY2(restore.out.contains("failed backlight_time"), qPrintable(restore.out));
    QVERIFY2(restore.out.endsWith("written 1, verified 1, failed 1\n"), qPrintable(restore.out));
}

void tst_parameterBackup::backupFileHoldsWhatTheReadmeDescribes()
{
    m_bus->setIntRegister(1, 0x3036, 4321);
    QFile readme(QStringLiteral(QUORIX_SOURCE_DIR "/README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll());
    const int start = text.indexOf("## Controller settings backup");
    QVERIFY(start >= 0);
    const QString section = text.mid(start, text.indexOf("\n## ", start + 1) - start);
    // "| `name` | ... |" rows: the fields of the file, those of a parameter's entry prefixed "parameters[].".
    QSet<QString> documentedTop;
    QSet<QString> documentedEntry;
    const QRegularExpression row(QStringLiteral("^\\| `([a-z_\\[\\].]+)` \\|"), QRegularExpression::MultilineOption);
    for (auto it = row.globalMatch(section); it.hasNext();) {
        const QString field = it.next().captured(1);
        if (field.startsWith("parameters[]."))
            documentedEntry.insert(field.mid(13));
        else
            documentedTop.insert(field);
    }

    const QString path = backupOf(1, "fields.json");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY(!content.contains("4321"));
    const QJsonObject root = QJsonDocument::fromJson(content).object();
    const QStringList topKeys = root.keys();
    QCOMPARE(QSet<QString>(topKeys.begin(), topKeys.end()), documentedTop);
    QCOMPARE(root.value("format").toString(), QString("quorix-parameter-backup"));
    QCOMPARE(root.value("address").toInt(), 1);
    QCOMPARE(root.value("baud").toInt(), 9600);
    QCOMPARE(root.value("administrator").toBool(), true);
    QCOMPARE(root.value("program").toString(), QString("quorix-cli " QUORIX_VERSION_TEXT));
    const QString time = root.value("time").toString();
    QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$").match(time).hasMatch(),
             qPrintable(time));
    QVERIFY(qAbs(QDateTime::fromString(time, Qt::ISODate).secsTo(QDateTime::currentDateTime())) < 60);

    const QJsonArray entries = root.value("parameters").toArray();
    QCOMPARE(entries.size(), 22);
    QSet<QString> registers;
    for (const QJsonValue &item : entries) {
        const QJsonObject entry = item.toObject();
        const QString name = entry.value("name").toString();
        const QStringList entryKeys = entry.keys();
        const QSet<QString> keys(entryKeys.begin(), entryKeys.end());
        QVERIFY2(keys - documentedEntry == QSet<QString>(), qPrintable(name));
        bool ok = false;
        const quint16 reg = quint16(entry.value("register").toString().mid(2).toUInt(&ok, 16));
        QVERIFY(ok && entry.value("register").toString().startsWith("0x"));
        registers.insert(entry.value("register").toString());
        QVERIFY(!entry.value("caption_zh").toString().isEmpty() && !entry.value("caption_en").toString().isEmpty());
        if (reg == 0x3036 || reg == 0x303A) {
            QCOMPARE(entry.value("masked").toBool(), true);
            QVERIFY(!keys.contains("value") && !keys.contains("raw"));
            QCOMPARE(entry.value("restorable").toBool(), false);
            continue;
        }
        QCOMPARE(entry.value("restorable").toBool(), reg != 0x3000);
        // The raw bytes are the controller's; the value is them as the windows show them.
        const QByteArray raw = QByteArray::fromHex(entry.value("raw").toString().toLatin1());
        QCOMPARE(raw.size(), 4);
        const double value = entry.value("value").toDouble();
        const bool isFloat = QSet<quint16>{0x3004, 0x3014, 0x3018, 0x3022, 0x3026, 0x302A, 0x302E}.contains(reg);
        if (isFloat)
            QCOMPARE(QString::number(value, 'g', 6), QString::number(double(m_bus->floatRegister(1, reg)), 'g', 6));
        else
            QCOMPARE(int(value), m_bus->intRegister(1, reg));
        QCOMPARE(entry.value("level").toString(), reg >= 0x301E ? QString("administrator") : QString("ordinary"));
    }
    QVERIFY(!registers.contains("0x2000") && !registers.contains("0x2002"));
    QCOMPARE(registers.size(), 22);
}

void tst_parameterBackup::withoutThePasswordOnlyOrdinaryParameters()
{
    const Outcome backup = cli({"--port", "PORT", "backup", "1"});
    QCOMPARE(backup.code, 0);
    const QJsonObject root = QJsonDocument::fromJson(backup.out.toUtf8()).object();
    QCOMPARE(root.value("administrator").toBool(), false);
    QCOMPARE(root.value("parameters").toArray().size(), 12);
    for (const QJsonValue &entry : root.value("parameters").toArray())
        QCOMPARE(entry.toObject().value("level").toString(), QString("ordinary"));
    QVERIFY(backup.err.contains("ordinary parameters only"));
}

void tst_parameterBackup::badCommandLinesAndFiles_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("error");
    const QString notBackup = m_dir.filePath("not-a-backup.json");
    QFile file(notBackup);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\"controllers\": {}}");
    file.close();
    QFile wrong(m_dir.filePath("wrong-password"));
    QVERIFY(wrong.open(QIODevice::WriteOnly));
    wrong.write("guest902731 \n");
    wrong.close();
    QTest::newRow("diff of a file that is no backup") << QStringList{"diff", notBackup, notBackup} << 2 << "not a parameter backup";
    QTest::newRow("diff of a folder") << QStringList{"diff", m_dir.path(), notBackup} << 2 << "cannot read backup";
    QTest::newRow("a wrong password") << QStringList{"--port", "PORT", "backup", "1", "--admin-password-file", wrong.fileName()}
                                      << 2 << "is wrong";
    QTest::newRow("a password file that is a folder")
        << QStringList{"--port", "PORT", "backup", "1", "--admin-password-file", m_dir.path()} << 2 << "not a regular file";
    QTest::newRow("backup takes no --yes") << QStringList{"--port", "PORT", "backup", "1", "--yes"} << 2 << "belong to restore";
    QTest::newRow("a bad address") << QStringList{"--port", "PORT", "backup", "0"} << 2 << "bad device address 0";
    QTest::newRow("no such controller") << QStringList{"--port", "PORT", "backup", "9", "--timeout", "250"} << 1 << "no sound answer";
}

void tst_parameterBackup::badCommandLinesAndFiles()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, error);
    const Outcome outcome = cli(args);
    QCOMPARE(outcome.code, code);
    QVERIFY2(outcome.err.contains(error), qPrintable(outcome.err));
    QCOMPARE(outcome.err.count('\n'), 1);
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(tst_parameterBackup)
#include "tst_parameterBackup.moc"
