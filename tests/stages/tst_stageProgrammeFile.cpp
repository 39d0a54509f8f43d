// The programme file as text: step lines, headers, line ends, the writer, and random bytes.

#include "StageProgrammeFile.h"

#include <QRandomGenerator>
#include <QtTest>

Q_DECLARE_METATYPE(StageProgrammeSet)

class tst_stageProgrammeFile : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void writerTextReadsBack();
    void randomBytesMakeNoStep();
};

void tst_stageProgrammeFile::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<StageProgrammeSet>("blocks");
    QTest::addColumn<int>("skipped");
    QTest::addColumn<bool>("usable");
    QTest::addColumn<QStringList>("unusable"); // headers of the blocks whose lines were all invalid
    using Set = StageProgrammeSet;
    const QStringList none;
    QTest::newRow("5,10") << QByteArray("[1]\n5,10") << Set{{{5, 10}}} << 0 << true << none;
    for (const char *line : {"5;10", "5,10,15", "5,x", "5,", "4294967296,1"})
        QTest::newRow(line) << QByteArray("[1]\n") + line << Set{{}} << 1 << false << QStringList{"[1]"};
    QTest::newRow("negative, spaces") << QByteArray("[1]\n -5,10\t") << Set{{{-5, 10}}} << 0 << true << none;
    QTest::newRow("empty blocks keep their place")
        << QByteArray("[1]\n\n[2]\n100,30\n0,60\n\n[3]\n\n[4]\n\n") << Set{{}, {{100, 30}, {0, 60}}, {}, {}}
        << 0 << true << none;
    QTest::newRow("[7] is the next block")
        << QByteArray("[1]\n1,1\n[7]\n2,2") << Set{{{1, 1}}, {{2, 2}}} << 0 << true << none;
    QTest::newRow("an invalid block among valid ones")
        << QByteArray("[1]\n1,1\n[ 7 ]\nx\n\n5;5\n[3]\n3,3\nbad") << Set{{{1, 1}}, {}, {{3, 3}}} << 3 << true
        << QStringList{"[ 7 ]"};
    QTest::newRow("CR LF") << QByteArray("[1]\r\n1,1\r\n\r\n[2]\r\n2,2\r\n") << Set{{{1, 1}}, {{2, 2}}} << 0
                           << true << none;
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF[1]\n3,4") << Set{{{3, 4}}} << 0 << true
                                     << none;
    QTest::newRow("no header first") << QByteArray("1,1\n[1]\n2,2") << Set() << 0 << false << none;
    QTest::newRow("empty") << QByteArray() << Set() << 0 << false << none;
}

void tst_stageProgrammeFile::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(StageProgrammeSet, blocks);
    QFETCH(int, skipped);
    QFETCH(bool, usable);
    QFETCH(QStringList, unusable);
    const StageProgrammeParse parsed = parseStageProgrammes(QString::fromUtf8(text));
    QCOMPARE(parsed.blocks, blocks);
    QCOMPARE(parsed.skippedLines, skipped);
    QCOMPARE(parsed.isUsable(), usable);
    QStringList unusableHeaders;
    for (int k = 0; k < parsed.blocks.size(); ++k)
        if (parsed.isUnusableBlock(k))
            unusableHeaders << parsed.headers.value(k);
    QCOMPARE(unusableHeaders, unusable);
    QCOMPARE(parsed.headers.size(), parsed.blocks.size());
}

void tst_stageProgrammeFile::writerTextReadsBack()
{
    StageProgrammeSet written{{}, {{100, 30}, {0, 60}}, {}, {{-1, 2147483647}}, {}};
    for (int k = 0; k < 150; ++k)
        written.last().append({k * 1000, k});
    const QString text = stageProgrammesText(written);
    QVERIFY(text.startsWith("[1]\n\n[2]\n100,30\n0,60\n\n[3]\n\n[4]\n-1,2147483647\n\n[5]\n0,0\n1000,1\n"));
    QCOMPARE(parseStageProgrammes(text).blocks, written);
}

// Lines of random bytes spoiled by a "#" among valid step lines: the valid lines and nothing else
// become steps. Whole files of noise parse without harm.
void tst_stageProgrammeFile::randomBytesMakeNoStep()
{
    QRandomGenerator random(9);
    const auto noise = [&random](int size) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (char &byte : bytes)
            byte = char(random.bounded(256));
        return bytes;
    };
    for (int file = 0; file < 200; ++file) {
        QByteArray text = "[1]\n";
        StageProgramme valid;
        for (int line = 0; line < 30; ++line) {
            const StageStep step{int(random.generate()), int(random.bounded(1000))};
            QByteArray spoiled = noise(random.bounded(1, 40)).replace('\n', ',').replace('[', '#');
            spoiled[random.bounded(spoiled.size())] = '#';
            const bool good = random.bounded(2);
            if (good)
                valid.append(step);
            text +=
                (good ? QByteArray::number(step.first) + ',' + QByteArray::number(step.second) : spoiled) +
                '\n';
        }
        QCOMPARE(parseStageProgrammes(QString::fromUtf8(text.constData(), text.size())).blocks,
                 StageProgrammeSet{valid});
        const QByteArray garbage = noise(random.bounded(2000));
        parseStageProgrammes(QString::fromUtf8(garbage.constData(), garbage.size()));
    }
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_stageProgrammeFile)
#include "tst_stageProgrammeFile.moc"
