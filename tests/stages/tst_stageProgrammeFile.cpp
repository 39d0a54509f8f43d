// The programme file as text: the parser on good and bad lines, headers and line ends, the writer,
// and random bytes.

#include "StageProgrammeFile.h"

#include <QRandomGenerator>
#include <QtTest>

Q_DECLARE_METATYPE(StageProgrammeSet)

namespace {

StageProgrammeSet programmes(std::initializer_list<StageProgramme> blocks)
{
    return StageProgrammeSet(blocks);
}

} // namespace

class tst_stageProgrammeFile : public QObject
{
    Q_OBJECT
private slots:
    void stepLines_data();
    void stepLines();
    void blocksAndHeaders_data();
    void blocksAndHeaders();
    void writerTextReadsBack();
    void randomBytesMakeNoStep();
};

void tst_stageProgrammeFile::stepLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<StageProgrammeSet>("blocks");
    QTest::addColumn<int>("skipped");
    QTest::newRow("5,10") << "5,10" << programmes({{{5, 10}}}) << 0;
    QTest::newRow("5;10") << "5;10" << programmes({{}}) << 1;
    QTest::newRow("5,10,15") << "5,10,15" << programmes({{}}) << 1;
    QTest::newRow("5,x") << "5,x" << programmes({{}}) << 1;
    QTest::newRow("5,") << "5," << programmes({{}}) << 1;
    QTest::newRow("negative flow") << "-5,10" << programmes({{{-5, 10}}}) << 0;
    QTest::newRow("beyond 32 bits") << "4294967296,1" << programmes({{}}) << 1;
    QTest::newRow("spaces around") << "  7,8\t" << programmes({{{7, 8}}}) << 0;
}

void tst_stageProgrammeFile::stepLines()
{
    QFETCH(QString, line);
    QFETCH(StageProgrammeSet, blocks);
    QFETCH(int, skipped);
    const StageProgrammeParse parsed = parseStageProgrammes(QStringLiteral("[1]\n") + line + '\n');
    QCOMPARE(parsed.blocks, blocks);
    QCOMPARE(parsed.skippedLines, skipped);
}

void tst_stageProgrammeFile::blocksAndHeaders_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<StageProgrammeSet>("blocks");
    QTest::addColumn<bool>("usable");
    QTest::newRow("empty blocks keep their place") << "[1]\n\n[2]\n100,30\n0,60\n\n[3]\n\n[4]\n\n"
                                                   << programmes({{}, {{100, 30}, {0, 60}}, {}, {}}) << true;
    QTest::newRow("the number in a header is not read") << "[1]\n1,1\n[7]\n2,2\n"
                                                        << programmes({{{1, 1}}, {{2, 2}}}) << true;
    QTest::newRow("CR LF") << "[1]\r\n1,1\r\n\r\n[2]\r\n2,2\r\n" << programmes({{{1, 1}}, {{2, 2}}}) << true;
    QTest::newRow("byte order mark") << "\xEF\xBB\xBF[1]\n3,4\n" << programmes({{{3, 4}}}) << true;
    QTest::newRow("six blocks") << "[1]\n1,1\n[2]\n2,2\n[3]\n3,3\n[4]\n4,4\n[5]\n5,5\n[6]\n6,6\n"
                                << programmes({{{1, 1}}, {{2, 2}}, {{3, 3}}, {{4, 4}}, {{5, 5}}, {{6, 6}}})
                                << true;
    QTest::newRow("no header first") << "1,1\n[1]\n2,2\n" << StageProgrammeSet() << false;
    QTest::newRow("headers without a step") << "[1]\n\n[2]\nx\n" << programmes({{}, {}}) << false;
    QTest::newRow("empty file") << "" << StageProgrammeSet() << false;
}

void tst_stageProgrammeFile::blocksAndHeaders()
{
    QFETCH(QString, text);
    QFETCH(StageProgrammeSet, blocks);
    QFETCH(bool, usable);
    const StageProgrammeParse parsed = parseStageProgrammes(QString::fromUtf8(text.toLatin1()));
    QCOMPARE(parsed.blocks, blocks);
    QCOMPARE(parsed.isUsable(), usable);
}

void tst_stageProgrammeFile::writerTextReadsBack()
{
    StageProgramme long_;
    for (int k = 0; k < 150; ++k)
        long_.append({k * 1000, k});
    const StageProgrammeSet written = programmes({{}, {{100, 30}, {0, 60}}, {}, {{-1, 2147483647}}, long_});
    const QString text = stageProgrammesText(written);
    QVERIFY(text.startsWith(
        QStringLiteral("[1]\n\n[2]\n100,30\n0,60\n\n[3]\n\n[4]\n-1,2147483647\n\n[5]\n0,0\n")));
    QCOMPARE(parseStageProgrammes(text).blocks, written);
    QCOMPARE(stageProgrammesText({}), QString());
}

// Lines of random bytes, each spoiled by a "#", among valid step lines: every valid line and
// nothing else becomes a step, and whole files of noise parse without harm.
void tst_stageProgrammeFile::randomBytesMakeNoStep()
{
    QRandomGenerator random(9);
    for (int file = 0; file < 200; ++file) {
        QByteArray text = "[1]\n";
        StageProgramme valid;
        for (int line = 0; line < 30; ++line) {
            if (random.bounded(2)) {
                const StageStep step{int(random.generate()), int(random.bounded(1000))};
                valid.append(step);
                text += QByteArray::number(step.first) + ',' + QByteArray::number(step.second) + '\n';
                continue;
            }
            QByteArray noise(random.bounded(1, 40), Qt::Uninitialized);
            for (char &byte : noise)
                byte = char(random.bounded(256));
            noise.replace('\n', ',').replace('[', '#');
            noise[random.bounded(noise.size())] = '#';
            text += noise + '\n';
        }
        const StageProgrammeParse parsed =
            parseStageProgrammes(QString::fromUtf8(text.constData(), text.size()));
        QCOMPARE(parsed.blocks, programmes({valid}));
        QByteArray noise(random.bounded(2000), Qt::Uninitialized);
        for (char &byte : noise)
            byte = char(random.bounded(256));
        parseStageProgrammes(QString::fromUtf8(noise.constData(), noise.size())).isUsable();
    }
}

QTEST_MAIN(tst_stageProgrammeFile)
#include "tst_stageProgrammeFile.moc"
