// A recording survives the death of its process: the application records from the simulated bus,
// is killed, and the next start turns what it had written into the data file.

#include "shell/MainWindowFixture.h"

#include "DataFile.h"
#include "JournalFiles.h"
#include "JournalWriter.h"
#include "Reading.h"
#include "RegisterMap.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <cstdio>

namespace {

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// What controller 1 answered for a reading type, in the unit the charts use, oldest first, with the
// time each answer went out.
struct Answer
{
    float value;
    qint64 servedNs;
};
QVector<Answer> answers(const SimBus &bus, int type)
{
    static const quint16 registers[] = {RegisterMap::InstantFlow, RegisterMap::CumulativeFlow,
                                        RegisterMap::Temperature, RegisterMap::Pressure};
    QVector<Answer> all;
    for (const SimBus::Served &served : bus.servedWithTimes(1, registers[type - 1])) {
        const QByteArray reply = QByteArray("\x01\x03\x04", 3) + served.dataBytes + QByteArray(2, '\0');
        all.append({float(Reading::fromReply(type, 1, reply, {}).value), served.servedNs});
    }
    return all;
}

qint64 servedSpanNs(const SimBus &bus)
{
    const QList<SimBus::Served> served = bus.servedWithTimes(1, RegisterMap::InstantFlow);
    return served.size() < 2 ? 0 : served.last().servedNs - served.first().servedNs;
}

// Each sample of a section is an answer of the controller, in the order they came, spaced as they
// came; the first is an answer of the recording's first second (the controller was taken online
// just before it began). Returns the reason when not.
QString mismatch(const QVector<QPointF> &section, const QVector<Answer> &served)
{
    if (section.isEmpty() || served.isEmpty())
        return QStringLiteral("no samples");
    int first = 0;
    while (first < served.size() && served[first].value != float(section.first().y()))
        ++first;
    if (first == served.size() || section.first().x() >= 1.0)
        return QStringLiteral("the first sample is not an answer of the first second");
    int next = first;
    for (const QPointF &sample : section) {
        while (next < served.size() && served[next].value != float(sample.y()))
            ++next;
        if (next == served.size())
            return QStringLiteral("%1 at %2 s was never served").arg(sample.y()).arg(sample.x());
        int sameValue = 0;
        for (const Answer &answer : served)
            sameValue += answer.value == served[next].value ? 1 : 0;
        const double servedS = (served[next].servedNs - served[first].servedNs) / 1e9;
        const double recordedS = sample.x() - section.first().x();
        if (sameValue == 1 && qAbs(recordedS - servedS) > 0.1)
            return QStringLiteral("%1 recorded at %2 s, served at %3 s").arg(sample.y()).arg(recordedS).arg(servedS);
        ++next;
    }
    return QString();
}

} // namespace

class tst_recordingCrash : public QObject
{
    Q_OBJECT
private slots:
    void killedRecordingIsRecoveredAtTheNextStart();
    void declinedOfferComesAgainAtTheNextStart();
};

void tst_recordingCrash::killedRecordingIsRecoveredAtTheNextStart()
{
    QTemporaryDir dir;
    const QString journals = dir.filePath(QStringLiteral("journals"));
    const QString dataFile = dir.filePath(QStringLiteral("killed.csv"));
    SimBus::Options options;
    options.addresses = {1};
    options.linkPath = dir.filePath(QStringLiteral("ttyQUORIX"));
    SimBus bus(options);
    QString error;
    QVERIFY2(bus.start(&error), qPrintable(error));
    bus.setFloatRegister(1, RegisterMap::InstantSetpoint, 500); // a flow that moves

    QProcess application;
    application.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    application.start(QCoreApplication::applicationDirPath() + QStringLiteral("/recording_child"),
                      {bus.portPath(), dataFile, journals});
    QVERIFY2(application.waitForStarted(), qPrintable(application.errorString()));
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += application.readAllStandardOutput()).contains("recording\n"), 60000);

    // Ten seconds of answers, then the process is killed.
    QTRY_VERIFY_WITH_TIMEOUT(servedSpanNs(bus) >= 10000000000LL, 60000);
    application.kill();
    QVERIFY(application.waitForFinished());
    QCOMPARE(application.exitStatus(), QProcess::CrashExit);
    QCOMPARE(contentsOf(dataFile), QByteArray()); // as confirming the recording left it
    QCOMPARE(QDir(journals).entryList({QStringLiteral("*.journal")}).size(), 1);

    // The next start: the main window, once shown, offers the journal; the operator accepts.
    const MainWindowFixture::Setup setup;
    MainWindowFixture next(setup);
    JournalFiles::setFolder(journals);
    next.window->show();
    QTRY_COMPARE_WITH_TIMEOUT(next.boxes.boxes.size(), 2, 30000);
    const MessageBoxSeam::Box offer = next.boxes.boxes.first();
    QCOMPARE(offer.kind, MessageBoxSeam::Kind::Question);
    QCOMPARE(offer.title, QStringLiteral("提示"));
    QVERIFY2(offer.text.startsWith(QStringLiteral("上次有1个记录未正常结束，是否将它们转换为数据文件？\n设备1：") +
                                   dataFile + QStringLiteral("（记录文件") + journals),
             qPrintable(offer.text));
    QCOMPARE(next.boxes.texts().last(), QStringLiteral("提示|") + dataFile + QStringLiteral("保存成功"));
    QCOMPARE(QDir(journals).entryList(QDir::Files), QStringList());

    // Today's format: four sections, each sample a time of at most three decimals and a value.
    const QByteArray text = contentsOf(dataFile);
    QVERIFY(text.endsWith('\n'));
    const QRegularExpression sampleLine(QStringLiteral("^\\d+(\\.\\d{1,3})?,-?\\d+(\\.\\d+)?(e[-+]\\d+)?$"));
    QStringList sections;
    for (const QString &line : QString::fromLatin1(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("type")))
            sections << line;
        else
            QVERIFY2(sampleLine.match(line).hasMatch(), qPrintable(line));
    }
    QCOMPARE(sections, (QStringList{"type1", "type2", "type3", "type4"}));
    const DataFile::Content content = DataFile::read(QString::fromLatin1(text));
    QCOMPARE(content.skippedLines, 0);

    // At least the first 9 s, every value one the controller served, none of a second's run missing.
    for (int type = 1; type <= 4; ++type) {
        const QVector<QPointF> &section = content.sections[type - 1];
        std::printf("type %d: %d samples recovered, the last at %g s\n", type, int(section.size()),
              section.isEmpty() ? -1.0 : section.last().x());
        const QString reason = mismatch(section, answers(bus, type));
        QVERIFY2(reason.isEmpty(), qPrintable(QStringLiteral("type %1: %2").arg(type).arg(reason)));
        QVERIFY2(section.last().x() >= 9.0, qPrintable(QString::number(section.last().x())));
        for (int k = 1; k < section.size(); ++k)
            QVERIFY2(section[k].x() - section[k - 1].x() < 1.0,
                     qPrintable(QStringLiteral("type %1: nothing between %2 s and %3 s")
                                    .arg(type)
                                    .arg(section[k - 1].x())
                                    .arg(section[k].x())));
    }
}

void tst_recordingCrash::declinedOfferComesAgainAtTheNextStart()
{
    QTemporaryDir dir;
    const QString journals = dir.filePath(QStringLiteral("journals"));
    const QString dataFile = dir.filePath(QStringLiteral("declined.csv"));
    JournalHeader header;
    header.deviceId = 2;
    header.targetFile = dataFile;
    header.selected = {false, false, true, false};
    header.started = QDateTime::currentDateTime();
    {
        JournalWriter journal(journals, header, {});
        const QByteArray sample = "3,0,23.5\n3,1.001,23.25\n3,2.5,23";
        journal.append(sample.constData(), sample.size()); // the last line cut by the crash
    }

    const MainWindowFixture::Setup setup;
    {
        MainWindowFixture first(setup);
        JournalFiles::setFolder(journals);
        MessageBoxSeam::setHandler([&first](QWidget *, const MessageBoxSeam::Box &box) {
            first.boxes.boxes.append(box);
            return QMessageBox::No;
        });
        first.window->show();
        QTRY_COMPARE_WITH_TIMEOUT(first.boxes.boxes.size(), 1, 20000);
        QVERIFY(first.boxes.lastText().contains(QStringLiteral("设备2：") + dataFile));
        first.window->hide();
        first.window->show(); // shown again: no second offer
        QCoreApplication::processEvents();
        QCOMPARE(first.boxes.boxes.size(), 1);
    }
    QCOMPARE(QDir(journals).entryList({QStringLiteral("*.journal")}).size(), 1);
    QVERIFY(!QFile::exists(dataFile));

    MainWindowFixture second(setup);
    JournalFiles::setFolder(journals);
    second.window->show();
    QTRY_COMPARE_WITH_TIMEOUT(second.boxes.boxes.size(), 2, 20000);
    QCOMPARE(second.boxes.texts().last(), QStringLiteral("提示|") + dataFile + QStringLiteral("保存成功"));
    QCOMPARE(contentsOf(dataFile), QByteArray("type3\n0,23.5\n1.001,23.25\n"));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_recordingCrash)
#include "tst_recordingCrash.moc"
