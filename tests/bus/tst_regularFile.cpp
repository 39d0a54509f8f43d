// Which existing paths a programme or data file may not be opened at.

#include "RegularFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

class tst_regularFile : public QObject
{
    Q_OBJECT
private slots:
    void problems_data();
    void problems();
};

void tst_regularFile::problems_data()
{
    QTest::addColumn<QString>("kind"); // what the test makes at the path
    QTest::addColumn<QString>("problem");
    QTest::newRow("regular file") << "file"
                                  << "";
    QTest::newRow("link to a regular file") << "link to file"
                                            << "";
    QTest::newRow("new path") << "nothing"
                              << "";
    QTest::newRow("dangling link") << "dangling link"
                                   << "";
    QTest::newRow("named pipe") << "fifo"
                                << "不是普通文件，而是命名管道";
    QTest::newRow("link to /dev/zero") << "link to /dev/zero"
                                       << "不是普通文件，而是字符设备";
    QTest::newRow("folder") << "folder"
                            << "不是普通文件，而是文件夹";
}

void tst_regularFile::problems()
{
    QFETCH(QString, kind);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chosen"));
    const QString file = dir.filePath(QStringLiteral("regular.txt"));
    QFile regular(file);
    QVERIFY(regular.open(QIODevice::WriteOnly));
    regular.close();
    if (kind == QLatin1String("file"))
        QVERIFY(QFile::copy(file, path));
    else if (kind == QLatin1String("link to file"))
        QVERIFY(QFile::link(file, path));
    else if (kind == QLatin1String("dangling link"))
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), path));
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == QLatin1String("link to /dev/zero"))
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("chosen")));
    QCOMPARE(regularFileProblem(path), problem);
}

#include "TestRunner.h"

QUORIX_TEST_APPLESS_MAIN(tst_regularFile)
#include "tst_regularFile.moc"
