#pragma once

#include "ProcessSettings.h"

#include <QWidget>
#include <memory>

class QCheckBox;
class QDoubleSpinBox;

namespace Ui {
class ProcessSettingsWindow;
}

// "过程设置": one row per controller of the last scan with its ramp rate and its alarms (deviation
// with its tolerances and times, high and low flow limits, dropped, zero on alarm) and when they
// were last changed. Saving asks for the administrator password (the owner opens the login);
// nothing is applied before it was given. Temperature (℃) and pressure (KPa) ranges each have
// their own on/off.
class ProcessSettingsWindow : public QWidget
{
    Q_OBJECT
public:
    enum Column
    {
        DeviceColumn,
        RampColumn,
        DeviationOnColumn,
        PercentColumn,
        SccmColumn,
        SecondsColumn,
        HoldoffColumn,
        HighColumn,
        LowColumn,
        TemperatureOnColumn,
        TemperatureLowColumn,
        TemperatureHighColumn,
        PressureOnColumn,
        PressureLowColumn,
        PressureHighColumn,
        DroppedColumn,
        ZeroColumn,
        ChangedColumn,
        ColumnCount
    };

    explicit ProcessSettingsWindow(QWidget *parent = nullptr);
    ~ProcessSettingsWindow() override;

    void showSettings(const QList<quint8> &addresses, const ProcessSettings &settings, const QString &path);
    // The settings shown, with what was entered for each row's controller.
    ProcessSettings enteredSettings() const;
    QDoubleSpinBox *numberField(int row, Column column) const;
    QCheckBox *checkField(int row, Column column) const;
    QDoubleSpinBox *rateField(int row) const { return numberField(row, RampColumn); }

signals:
    // The operator saved settings that differ from those shown.
    void saveRequested(ProcessSettings settings);

private:
    void save();
    void addNumber(int row, Column column, double value, double maximum, const QString &offText = QString(),
                   double minimum = 0);
    void addCheck(int row, Column column, bool on);

    std::unique_ptr<Ui::ProcessSettingsWindow> ui;
    QList<quint8> m_addresses;
    ProcessSettings m_shown;
};
