#include "MessageBoxSeam.h"
#include "lossWidget.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

class tst_lossWidget : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void windowLayout();
    void returnSendsSetting_data();
    void returnSendsSetting();
    void rejectedSettingChangesNothing_data();
    void rejectedSettingChangesNothing();
    void currentButtonsAsk_data();
    void currentButtonsAsk();
    void replyShowsBox_data();
    void replyShowsBox();
    void showsLoss_data();
    void showsLoss();
    void recountClearsAndRestarts();

private:
    QLineEdit *edit(const char *name) const { return m_window->findChild<QLineEdit *>(QLatin1String(name)); }
    QPushButton *button(const char *name) const
    {
        return m_window->findChild<QPushButton *>(QLatin1String(name));
    }

    QWidget *m_parent = nullptr;
    lossWidget *m_window = nullptr;
    QList<MessageBoxSeam::Box> m_boxes;
    QList<QWidget *> m_boxParents;
};

namespace {
bool isStartTime(const QString &text)
{
    return QRegularExpression(QStringLiteral("^\\d\\d-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
        .match(text)
        .hasMatch();
}
} // namespace

void tst_lossWidget::init()
{
    m_parent = new QWidget;
    m_window = new lossWidget(m_parent);
    m_boxes.clear();
    m_boxParents.clear();
    MessageBoxSeam::setHandler([this](QWidget *parent, const MessageBoxSeam::Box &box) {
        m_boxes.append(box);
        m_boxParents.append(parent);
        return QMessageBox::Ok;
    });
    m_window->show();
}

void tst_lossWidget::cleanup()
{
    MessageBoxSeam::reset();
    delete m_parent;
}

void tst_lossWidget::windowLayout()
{
    // Qt adds the title and system-menu hints; what matters is minimise and close without maximise.
    const Qt::WindowFlags separateWindow(0x08004001);
    QCOMPARE(m_window->windowFlags() & separateWindow, separateWindow);
    QVERIFY(!(m_window->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(m_window->isWindow());
    QCOMPARE(m_window->size(), QSize(711, 461));
    QVERIFY2(isStartTime(edit("edit_time")->text()), qPrintable(edit("edit_time")->text()));
    QCOMPARE(button("pushButton_8")->text(), QStringLiteral("重新计算总丢包数量"));
}

void tst_lossWidget::returnSendsSetting_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("value");

    QTest::newRow("period") << "lineEdit"
                            << "1200" << 1 << 1200;
    QTest::newRow("period highest") << "lineEdit"
                                    << "60000" << 1 << 60000;
    QTest::newRow("pause 3 raised") << "lineEdit_2"
                                    << "3" << 2 << 5;
    QTest::newRow("pause 4 raised") << "lineEdit_2"
                                    << "4" << 2 << 5;
    QTest::newRow("pause 5 kept") << "lineEdit_2"
                                  << "5" << 2 << 5;
    QTest::newRow("pause 6 kept") << "lineEdit_2"
                                  << "6" << 2 << 6;
    QTest::newRow("pause negative raised") << "lineEdit_2"
                                           << "-20" << 2 << 5;
    QTest::newRow("pause highest") << "lineEdit_2"
                                   << "1000" << 2 << 1000;
    QTest::newRow("timeout") << "lineEdit_3"
                             << "800" << 3 << 800;
    QTest::newRow("timeout lowest") << "lineEdit_3"
                                    << "50" << 3 << 50;
    QTest::newRow("timeout highest") << "lineEdit_3"
                                     << "2000" << 3 << 2000;
}

void tst_lossWidget::rejectedSettingChangesNothing_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("range");

    QTest::newRow("period letters") << "lineEdit"
                                    << "abc"
                                    << "100到60000";
    QTest::newRow("period above") << "lineEdit"
                                  << "60001"
                                  << "100到60000";
    QTest::newRow("pause of minutes") << "lineEdit_2"
                                      << "120000"
                                      << "5到1000";
    QTest::newRow("timeout beyond int") << "lineEdit_3"
                                        << "99999999999"
                                        << "50到2000";
    QTest::newRow("timeout letters") << "lineEdit_3"
                                     << "abc"
                                     << "50到2000";
    QTest::newRow("timeout fraction") << "lineEdit_3"
                                      << "500.5"
                                      << "50到2000";
    QTest::newRow("timeout shorter than a frame") << "lineEdit_3"
                                                  << "10"
                                                  << "50到2000";
}

void tst_lossWidget::rejectedSettingChangesNothing()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, range);
    QSignalSpy settings(m_window, &lossWidget::commSet);
    QLineEdit *input = m_window->findChild<QLineEdit *>(field);
    QTest::keyClicks(input, typed);
    QTest::keyClick(input, Qt::Key_Return);

    QCOMPARE(settings.count(), 0);
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes.at(0).title, QStringLiteral("错误提示"));
    QVERIFY2(m_boxes.at(0).text.contains(range), qPrintable(m_boxes.at(0).text));
    QCOMPARE(input->text(), typed);
}

void tst_lossWidget::returnSendsSetting()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(int, type);
    QFETCH(int, value);
    QSignalSpy settings(m_window, &lossWidget::commSet);
    QLineEdit *input = m_window->findChild<QLineEdit *>(field);
    QVERIFY(input);
    QTest::keyClicks(input, typed);
    QTest::keyClick(input, Qt::Key_Return);

    QCOMPARE(settings.count(), 1);
    QCOMPARE(settings.at(0).at(0).toInt(), type);
    QCOMPARE(settings.at(0).at(1).toInt(), value);
    QCOMPARE(input->text(), typed);
    QVERIFY(m_boxes.isEmpty());
}

void tst_lossWidget::currentButtonsAsk_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::newRow("period") << "pushButton_5" << 1;
    QTest::newRow("pause") << "pushButton_6" << 2;
    QTest::newRow("timeout") << "pushButton_7" << 3;
}

void tst_lossWidget::currentButtonsAsk()
{
    QFETCH(QString, name);
    QFETCH(int, type);
    QSignalSpy asks(m_window, &lossWidget::getCommSet);
    QTest::mouseClick(m_window->findChild<QPushButton *>(name), Qt::LeftButton);
    QCOMPARE(asks.count(), 1);
    QCOMPARE(asks.at(0).at(0).toInt(), type);
}

void tst_lossWidget::replyShowsBox_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("period default") << 1 << 1000 << "当前查询周期为1000毫秒";
    QTest::newRow("pause default plus five") << 2 << 10 << "当前查询间隔15毫秒";
    QTest::newRow("pause 20 plus five") << 2 << 20 << "当前查询间隔25毫秒";
    QTest::newRow("timeout default") << 3 << 500 << "当前查询等待时间500毫秒";
    QTest::newRow("unknown setting") << 4 << 7 << "";
}

void tst_lossWidget::replyShowsBox()
{
    QFETCH(int, type);
    QFETCH(int, value);
    QFETCH(QString, text);
    m_window->receiveCommSet(type, value);
    if (text.isEmpty()) {
        QVERIFY(m_boxes.isEmpty());
        return;
    }
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(int(m_boxes.at(0).kind), int(MessageBoxSeam::Kind::Information));
    QCOMPARE(m_boxes.at(0).title, QStringLiteral("提示"));
    QCOMPARE(m_boxes.at(0).text, text);
    QCOMPARE(m_boxParents.at(0), m_window);
}

void tst_lossWidget::showsLoss_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("busRate");
    QTest::addColumn<QString>("total");

    QTest::newRow("usage") << 1 << 37.5f << "37.500%"
                           << "";
    QTest::newRow("usage above 100") << 1 << 142.25f << "142.250%"
                                     << "";
    QTest::newRow("total") << 2 << 12.0f << ""
                           << "12";
    QTest::newRow("large total") << 2 << 1234567.0f << ""
                                 << "1.23457e+06";
    QTest::newRow("unknown type") << 3 << 9.0f << ""
                                  << "";
}

void tst_lossWidget::showsLoss()
{
    QFETCH(int, type);
    QFETCH(float, value);
    QFETCH(QString, busRate);
    QFETCH(QString, total);
    m_window->receiveLoss(type, value);
    QCOMPARE(edit("edit_bus_rate")->text(), busRate);
    QCOMPARE(edit("edit_loss_Statistics")->text(), total);
}

void tst_lossWidget::recountClearsAndRestarts()
{
    m_window->receiveLoss(1, 37.5f);
    m_window->receiveLoss(2, 12.0f);
    for (const char *name : {"lineEdit", "lineEdit_2", "lineEdit_3"})
        edit(name)->setText(QStringLiteral("123"));
    edit("edit_time")->setText(QStringLiteral("old"));

    QStringList fieldsAtSignal;
    connect(m_window, &lossWidget::sig_clearloss, this, [&] {
        for (const char *name : {"lineEdit", "lineEdit_2", "lineEdit_3", "edit_loss_Statistics", "edit_time"})
            fieldsAtSignal.append(edit(name)->text());
    });
    QTest::mouseClick(button("pushButton_8"), Qt::LeftButton);

    // The worker hears of the recount only after the window shows the fresh start.
    QCOMPARE(fieldsAtSignal.size(), 5);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(fieldsAtSignal.at(i), QString());
    QVERIFY2(isStartTime(fieldsAtSignal.at(4)), qPrintable(fieldsAtSignal.at(4)));
    QCOMPARE(edit("edit_bus_rate")->text(), QStringLiteral("37.500%"));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_lossWidget)
#include "tst_lossWidget.moc"
