// The workspace file: what is saved reads back the same, an absent file restores nothing, and a
// file of another shape is refused whole rather than half applied.

#include "TestRunner.h"

#include "Workspace.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_workspaceFile : public QObject
{
    Q_OBJECT
private slots:
    void savedReadsBackAndAbsentIsEmpty();
    void anotherShapeIsRefused_data();
    void anotherShapeIsRefused();
    void onlineListStaysSortedAndSingle();

private:
    QString write(const QByteArray &text)
    {
        const QString path = m_dir.filePath(QStringLiteral("workspace.json"));
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(text);
        return path;
    }
    QTemporaryDir m_dir;
};

void tst_workspaceFile::savedReadsBackAndAbsentIsEmpty()
{
    Workspace absent;
    QString error;
    QVERIFY(absent.load(m_dir.filePath(QStringLiteral("none.json")), &error));
    QVERIFY(!absent.isRestorable());

    Workspace saved;
    saved.port = QStringLiteral("/dev/ttyUSB0");
    saved.baud = 115200;
    saved.queryPauseMs = 20;
    saved.setOnline(12, true);
    saved.setOnline(3, true);
    saved.setProgrammeFile(2, QStringLiteral("/data/p.txt"));
    const QString path = m_dir.filePath(QStringLiteral("sub/workspace.json"));
    QVERIFY2(saved.save(path, &error), qPrintable(error));
    Workspace read;
    QVERIFY2(read.load(path, &error), qPrintable(error));
    QCOMPARE(read.port, saved.port);
    QCOMPARE(read.baud, 115200);
    QCOMPARE(read.queryPeriodMs, int(Workspace::NotSet)); // never changed: the worker's default
    QCOMPARE(read.queryPauseMs, 20);
    QCOMPARE(read.online, QList<quint8>({3, 12}));
    QCOMPARE(read.programmeFiles, QStringList({QString(), QString(), QStringLiteral("/data/p.txt")}));
    QCOMPARE(read.summary(), QStringLiteral("/dev/ttyUSB0，设备3、12"));
}

void tst_workspaceFile::anotherShapeIsRefused_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("not JSON") << QByteArray("port=/dev/ttyUSB0");
    QTest::newRow("no port") << QByteArray(R"({"baud": 9600})");
    QTest::newRow("baud 0") << QByteArray(R"({"port": "/dev/x", "baud": 0})");
    QTest::newRow("negative period") << QByteArray(R"({"port": "/dev/x", "baud": 9600, "query_period": -5})");
    QTest::newRow("address 0") << QByteArray(R"({"port": "/dev/x", "baud": 9600, "online": [0]})");
    QTest::newRow("address as text") << QByteArray(R"({"port": "/dev/x", "baud": 9600, "online": ["3"]})");
    QTest::newRow("address 2.5") << QByteArray(R"({"port": "/dev/x", "baud": 9600, "online": [2.5]})");
    QTest::newRow("programme no text") << QByteArray(R"({"port": "/dev/x", "baud": 9600, "programme_files": [1]})");
}

void tst_workspaceFile::anotherShapeIsRefused()
{
    QFETCH(QByteArray, text);
    Workspace read;
    QString error;
    QVERIFY(!read.load(write(text), &error));
    QVERIFY(error.contains(QStringLiteral("workspace.json")));
    QVERIFY(!read.isRestorable()); // nothing of it is offered
    QVERIFY(read.online.isEmpty());
}

void tst_workspaceFile::onlineListStaysSortedAndSingle()
{
    Workspace workspace;
    for (quint8 address : {5, 1, 5, 3})
        workspace.setOnline(address, true);
    QCOMPARE(workspace.online, QList<quint8>({1, 3, 5}));
    workspace.setOnline(3, false);
    workspace.setOnline(9, false);
    QCOMPARE(workspace.online, QList<quint8>({1, 5}));
    workspace.setProgrammeFile(-1, QStringLiteral("x")); // no such widget
    QVERIFY(workspace.programmeFiles.isEmpty());
}

QUORIX_TEST_APPLESS_MAIN(tst_workspaceFile)
#include "tst_workspaceFile.moc"
