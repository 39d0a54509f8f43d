#pragma once

#include "MixGroup.h"

#include <QWidget>
#include <memory>

class BenchModel;
class MixDriver;
class QTableWidget;

namespace Ui {
class MixSettingsWindow;
}

// "混合设置": defines the mix groups (members with their share and full scale, the total, what gives
// way at a full scale), starts and stops them and changes a running group's total. Shows each
// member's setpoint, the composition aimed at and the one measured (each member's flow over their
// sum), and what limited the plan. Definitions are kept in process.json; nothing starts by itself.
class MixSettingsWindow : public QWidget
{
    Q_OBJECT
public:
    enum Column
    {
        AddressColumn,
        FractionColumn,
        FullScaleColumn,
        SetpointColumn,
        TargetColumn,
        ActualColumn,
        ColumnCount
    };

    MixSettingsWindow(MixDriver *mixes, BenchModel *model, const QString &settingsPath, QWidget *parent = nullptr);
    ~MixSettingsWindow() override;

    int currentGroup() const;
    void showGroup(int group);
    // The group as entered; empty `error` when every filled row reads.
    MixGroup enteredGroup(QString *error) const;
    QTableWidget *table() const;

private:
    bool keep(const MixGroup &group);
    void save();
    void start();
    void applyTotal();
    void refresh();

    std::unique_ptr<Ui::MixSettingsWindow> ui;
    MixDriver *m_mixes;
    BenchModel *m_model;
    QString m_path;
};
