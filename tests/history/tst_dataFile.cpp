#include "DataFile.h"

#include <QRandomGenerator>
#include <QtTest>
#include <cmath>

#include <cstring>

using Points = QVector<QPointF>;

class tst_dataFile : public QObject
{
    Q_OBJECT
private slots:
    void numbersKeepTheirPrecision_data();
    void numbersKeepTheirPrecision();
    void readerLines_data();
    void readerLines();
    void randomBytesReadInPiecesAsWhole();
    void numbersReadAsQStringReadsThem();
    void roundTripIsBitExact();
};

void tst_dataFile::numbersKeepTheirPrecision_data()
{
    QTest::addColumn<bool>("isTime");
    QTest::addColumn<double>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("time half an hour") << true << 1803.5 << "1803.5";
    QTest::newRow("time with milliseconds") << true << 1804.51 << "1804.51";
    QTest::newRow("time past 100000 s keeps decimals") << true << 123456.789 << "123456.789";
    QTest::newRow("time past 1000000 s stays plain") << true << 1200000.25 << "1200000.25";
    QTest::newRow("time zero") << true << 0.0 << "0";
    QTest::newRow("flow") << false << double(12.345f) << "12.345";
    QTest::newRow("pressure in KPa") << false << double(250000.0f / 1000.0f) << "250";
    QTest::newRow("cumulative flow past 999999 L") << false << double(1234567.0f) << "1234567";
    QTest::newRow("negative flow") << false << double(-0.5f) << "-0.5";
}

void tst_dataFile::numbersKeepTheirPrecision()
{
    QFETCH(bool, isTime);
    QFETCH(double, number);
    QFETCH(QString, text);
    QCOMPARE(isTime ? DataFile::formatTime(number) : DataFile::formatValue(number), text);
}

void tst_dataFile::readerLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Points>("type1");
    QTest::addColumn<Points>("type3");
    QTest::addColumn<int>("skipped");
    QTest::newRow("two sections") << "type1\n0,1.5\n1,2.5\ntype3\n0,20.1\n"
                                  << Points{{0, 1.5}, {1, 2.5}} << Points{{0, 20.1}} << 0;
    QTest::newRow("three parts") << "type1\n1,2,\n" << Points{} << Points{} << 1;
    QTest::newRow("blanks around numbers") << "type3\n3 , 4\n" << Points{} << Points{{3, 4}} << 0;
    QTest::newRow("before the first section") << "0,1\ntype1\n2,3" << Points{{2, 3}} << Points{} << 1;
    QTest::newRow("other case is data") << "Type1\n0,1\n" << Points{} << Points{} << 2;
    QTest::newRow("CR LF") << "type1\r\n1,2\r\n\r\n" << Points{{1, 2}} << Points{} << 0;
    QTest::newRow("exponents") << "type3\n1.2e+06,1e-3\n" << Points{} << Points{{1.2e6, 0.001}} << 0;
    QTest::newRow("repeated section") << "type1\n0,1\ntype3\n0,5\ntype1\n1,2\n"
                                      << Points{{0, 1}, {1, 2}} << Points{{0, 5}} << 0;
    QTest::newRow("trimmed section line") << "  type3 \t\n5,6\n" << Points{} << Points{{5, 6}} << 0;
    QTest::newRow("not a number") << "type1\nnan,1\n1,inf\nx,2\n" << Points{} << Points{} << 3;
    QTest::newRow("other forms of numbers")
        << "type1\n+1,.5\n2.,-0.25\n007,1E2\n" << Points{{1, 0.5}, {2, -0.25}, {7, 100}} << Points{} << 0;
    QTest::newRow("malformed numbers") << "type1\n1.2.3,1\n--1,2\n1-,2\n-,2\n.,1\n" << Points{} << Points{} << 5;
    // The largest float, as the writer puts it, still reads; beyond it no float holds the value.
    QTest::newRow("beyond a float's range")
        << "type1\n0,1e39\n1,-1e39\n2,3.4028235e+38\n3,-3.4028235e+38\n1e39,5\n"
        << Points{{2, 3.4028235e+38}, {3, -3.4028235e+38}, {1e39, 5}} << Points{} << 2;
}

void tst_dataFile::readerLines()
{
    QFETCH(QString, text);
    QFETCH(Points, type1);
    QFETCH(Points, type3);
    QFETCH(int, skipped);
    const DataFile::Content content = DataFile::read(text);
    QCOMPARE(content.sections[0], type1);
    QCOMPARE(content.sections[2], type3);
    QCOMPARE(content.skippedLines, skipped);
}

// A large file is read in pieces cut at line ends; garbage must read the same either way.
void tst_dataFile::randomBytesReadInPiecesAsWhole()
{
    QRandomGenerator random(7);
    const QByteArray alphabet("type1234,.-e \r\n\t\x01\xff");
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes(random.bounded(400), '\0');
        for (char &c : bytes)
            c = alphabet.at(random.bounded(alphabet.size()));
        const QString text = QString::fromLatin1(bytes);
        const DataFile::Content whole = DataFile::read(text);
        DataFile::Content pieces;
        int start = 0;
        while (start < text.size()) {
            int end = text.indexOf(QLatin1Char('\n'), start + random.bounded(30));
            end = end < 0 ? text.size() : end + 1;
            DataFile::readLines(QStringView(text).mid(start, end - start), pieces);
            start = end;
        }
        QCOMPARE(pieces.sections, whole.sections);
        QCOMPARE(pieces.skippedLines, whole.skippedLines);
        for (const Points &section : whole.sections)
            for (const QPointF &point : section)
                QVERIFY(qIsFinite(point.x()) && qIsFinite(point.y()));
    }
}

// The reader takes plain numbers a quicker way than QString::toDouble: it must give the very same
// doubles, negative zero included, and accept and refuse the same texts.
void tst_dataFile::numbersReadAsQStringReadsThem()
{
    QRandomGenerator random(13);
    const QByteArray digits("0123456789");
    const QByteArray near("0123456789.-+eE \t");
    const auto numberText = [&] {
        QByteArray text;
        const int length = 1 + random.bounded(28);
        const bool plain = random.bounded(2) == 0;
        if (plain && random.bounded(3) == 0)
            text += '-';
        while (text.size() < length) {
            const QByteArray &alphabet = plain ? digits : near;
            text += alphabet.at(random.bounded(alphabet.size()));
            if (plain && random.bounded(8) == 0 && !text.contains('.'))
                text += '.';
        }
        return text;
    };
    const auto expected = [](const QByteArray &text, double *number) {
        bool ok = false;
        *number = QString::fromLatin1(text).toDouble(&ok);
        return ok && qIsFinite(*number);
    };
    const auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        const QByteArray x = numberText(), y = numberText();
        double wantX = 0, wantY = 0;
        // A value no float holds is skipped whatever reads it.
        const bool wanted = expected(x, &wantX) && expected(y, &wantY) && std::fabs(wantY) < 0x1.ffffffp127;
        const DataFile::Content content = DataFile::read(QString::fromLatin1("type1\n" + x + ',' + y + '\n'));
        const QByteArray line = x + ',' + y;
        QCOMPARE(content.sections[0].size(), wanted ? 1 : 0);
        if (!wanted)
            continue;
        ++accepted;
        const QPointF point = content.sections[0].first();
        QVERIFY2(same(point.x(), wantX) && same(point.y(), wantY), line.constData());
    }
    QVERIFY(accepted > 5000);
}

void tst_dataFile::roundTripIsBitExact()
{
    QRandomGenerator random(11);
    DataFile::Recording records;
    for (auto &section : records) {
        for (int k = 0; k < 5000; ++k) {
            float value;
            do {
                const quint32 bits = random.generate();
                std::memcpy(&value, &bits, sizeof value);
            } while (!qIsFinite(value));
            section.append({double(random.generate64() % 10000000000ULL) / 1000.0, double(value)});
        }
    }
    const DataFile::Content content =
        DataFile::read(QString::fromLatin1(DataFile::write(records, {1, 1, 1, 1})));
    QCOMPARE(content.skippedLines, 0);
    for (int type = 0; type < DataFile::TypeCount; ++type) {
        QCOMPARE(content.sections[type].size(), records[type].size());
        for (int k = 0; k < records[type].size(); ++k) {
            const float written = float(records[type][k].value), read = float(content.sections[type][k].y());
            QVERIFY2(std::memcmp(&written, &read, sizeof read) == 0,
                     qPrintable(DataFile::formatValue(records[type][k].value)));
            QCOMPARE(content.sections[type][k].x(), records[type][k].time);
        }
    }
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_dataFile)
#include "tst_dataFile.moc"
