#include <QtTest>
class tst_mainWnd : public QObject
{
    Q_OBJECT
};
QTEST_MAIN(tst_mainWnd)
#include "tst_mainWnd.moc"
