#include "PointLog.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>

namespace {
struct Message
{
    QtMsgType type;
    QByteArray category;
    QString text;
};
QList<Message> messages;

void keepMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    messages.append({type, context.category, text});
}

// What the debug stream writes for a point, taken from the stream itself.
QString streamed(QPointF point)
{
    messages.clear();
    qDebug() << "(" << point.x() << "," << point.y() << ")";
    return messages.isEmpty() ? QString() : messages.constLast().text;
}
} // namespace

class tst_pointLog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { m_previous = qInstallMessageHandler(keepMessage); }
    void cleanupTestCase() { qInstallMessageHandler(m_previous); }

    void numberAsTheStreamWritesIt_data();
    void numberAsTheStreamWritesIt();
    void linesAsTheStreamWritesThem_data();
    void linesAsTheStreamWritesThem();
    void writesOneDebugMessageOfTheDefaultCategory();

private:
    QtMessageHandler m_previous = nullptr;
};

void tst_pointLog::numberAsTheStreamWritesIt_data()
{
    QTest::addColumn<double>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("time with milliseconds") << 86399.006 << "86399";
    QTest::newRow("two decimals") << 1013.25 << "1013.25";
    QTest::newRow("float text read as double") << 997.10785 << "997.108";
    QTest::newRow("negative") << -0.5 << "-0.5";
    QTest::newRow("six digits") << 999999.0 << "999999";
    QTest::newRow("a million") << 1e6 << "1e+06";
    QTest::newRow("rounds up into a million") << 999999.6 << "1e+06";
    QTest::newRow("past a million") << 1234567.0 << "1.23457e+06";
    QTest::newRow("exact half of a whole number rounds up") << 1234565.0 << "1.23457e+06";
    QTest::newRow("exact half of a fraction rounds up") << 1.015625 << "1.01563";
    QTest::newRow("exact half of a negative rounds away from zero") << -123.4375 << "-123.438";
    QTest::newRow("just below a half rounds down") << 1.0156249999 << "1.01562";
    QTest::newRow("a ten-thousandth") << 0.0001 << "0.0001";
    QTest::newRow("below a ten-thousandth") << 0.00001234 << "1.234e-05";
    QTest::newRow("large exponent") << 1e100 << "1e+100";
    QTest::newRow("smallest double") << std::numeric_limits<double>::denorm_min() << "4.94066e-324";
    QTest::newRow("largest double") << std::numeric_limits<double>::max() << "1.79769e+308";
    QTest::newRow("just below a ten-thousandth") << std::nextafter(1e-4, 0.0) << "0.0001";
    QTest::newRow("just below a thousandth") << std::nextafter(1e-3, 0.0) << "0.001";
    QTest::newRow("a fraction of six digits") << 0.000123456 << "0.000123456";
    QTest::newRow("a fraction of seven digits") << 0.1234564 << "0.123456";
}

void tst_pointLog::numberAsTheStreamWritesIt()
{
    QFETCH(double, number);
    QFETCH(QString, text);
    char buffer[PointLog::NumberChars];
    const QString written = QString::fromLatin1(buffer, int(PointLog::putNumber(buffer, number) - buffer));
    QCOMPARE(written, text);
    QCOMPARE(PointLog::text({number, 1}), streamed({number, 1}));
}

void tst_pointLog::linesAsTheStreamWritesThem_data()
{
    QTest::addColumn<int>("shape");
    QTest::newRow("any bit pattern") << 0;
    QTest::newRow("times of a long recording") << 1;
    QTest::newRow("readings written as floats") << 2;
    QTest::newRow("binary fractions, many exact halves") << 3;
    QTest::newRow("next to powers of ten") << 4;
}

void tst_pointLog::linesAsTheStreamWritesThem()
{
    QFETCH(int, shape);
    QRandomGenerator random(20240 + shape);
    const auto number = [&]() -> double {
        switch (shape) {
        case 0: {
            double value;
            do {
                const quint64 bits = random.generate64();
                std::memcpy(&value, &bits, sizeof value);
            } while (!std::isfinite(value));
            return value;
        }
        case 1:
            return random.bounded(2100000000) / 1000.0;
        case 2:
            return double(float(std::ldexp(random.bounded(100000000), random.bounded(60) - 40)));
        case 3:
            return (random.bounded(20000000) - 10000000) / double(1 << random.bounded(20));
        default: {
            double value = std::pow(10.0, random.bounded(14) - 6);
            for (int step = random.bounded(7) - 3; step != 0; step += step < 0 ? 1 : -1)
                value = std::nextafter(value, step < 0 ? 0.0 : 1e300);
            const double nearby[] = {1, 0.9999995, 0.99999949999, 0.9999994, 1.0000005, 1.000005};
            return value * nearby[random.bounded(6)] * (random.bounded(2) ? 1 : -1);
        }
        }
    };
    int differing = 0;
    QString firstDifference;
    for (int i = 0; i < 50000; ++i) {
        const QPointF point(number(), number());
        if (PointLog::text(point) != streamed(point) && differing++ == 0)
            firstDifference = PointLog::text(point) + QStringLiteral(" instead of ") + streamed(point);
    }
    QVERIFY2(differing == 0, qPrintable(QStringLiteral("%1 lines differ, first %2").arg(differing).arg(firstDifference)));
}

void tst_pointLog::writesOneDebugMessageOfTheDefaultCategory()
{
    messages.clear();
    PointLog::write({0, 20.1});
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().type, QtDebugMsg);
    QCOMPARE(messages.first().category, QByteArray("default"));
    QCOMPARE(messages.first().text, QStringLiteral("( 0 , 20.1 )"));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_pointLog)
#include "tst_pointLog.moc"
