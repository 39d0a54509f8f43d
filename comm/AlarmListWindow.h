#pragma once

#include <QWidget>
#include <memory>

class AlarmMonitor;

namespace Ui {
class AlarmListWindow;
}

// "报警记录": every alarm episode with the times it was raised, cleared and acknowledged, its
// controller, kind, value and limit, newest first. "确认报警" acknowledges the selected episodes
// (all latched ones when none is selected); "导出CSV" writes the list to a file.
class AlarmListWindow : public QWidget
{
    Q_OBJECT
public:
    explicit AlarmListWindow(AlarmMonitor *alarms, QWidget *parent = nullptr);
    ~AlarmListWindow() override;

    void refresh();
    // The list as CSV: a header line, then one line per episode, oldest first.
    QString csv() const;

signals:
    // An operator acknowledged these episodes here.
    void acknowledged(QList<int> ids);

private:
    void acknowledgeChosen();
    void exportCsv();

    std::unique_ptr<Ui::AlarmListWindow> ui;
    AlarmMonitor *m_alarms;
};
