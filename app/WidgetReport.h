#pragma once

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>

class QWidget;

// A hook for tests that drive the real window from outside the process; it is off unless the
// environment variable QUORIX_FONT_REPORT names a file. Every 200 ms the file is replaced, when
// its content changed, by tab-separated lines:
//   checked   <number of distinct texts whose characters were checked so far>
//   uncovered <widget path> <characters no font in use can draw> <text>
//   widget    <widget path> <class> <x> <y> <width> <height> <text>   (visible widgets)
//   action    <menu path> <x> <y> <width> <height> <text>             (entries of visible menus)
// Positions are screen coordinates. A widget path joins object names (the class name where a
// widget has none) from the window down; where siblings share a name, each gets "#k" after it, k
// counting them from 0 in creation order.
// An uncovered text stays listed to the end of the run, even after its window has closed.
class WidgetReport : public QObject
{
    Q_OBJECT
public:
    static std::unique_ptr<WidgetReport> fromEnvironment();
    explicit WidgetReport(const QString &path);

    void writeNow();

private:
    void walk(QWidget *widget, const QString &path, QStringList *lines);
    void checkCoverage(QWidget *widget, const QString &path);
    static void listActions(QWidget *widget, const QString &path, QStringList *lines);

    QString m_path;
    QTimer m_timer;
    QSet<QString> m_checked;
    QStringList m_uncovered;
    QByteArray m_written;
};
