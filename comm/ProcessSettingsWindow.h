#pragma once

#include "ProcessSettings.h"

#include <QMap>
#include <QWidget>
#include <memory>

class QDoubleSpinBox;

namespace Ui {
class ProcessSettingsWindow;
}

// "过程设置": one row per controller of the last scan with its ramp rate and when it was last
// changed. Saving asks for the administrator password (the owner opens the login); nothing is
// applied before it was given.
class ProcessSettingsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ProcessSettingsWindow(QWidget *parent = nullptr);
    ~ProcessSettingsWindow() override;

    void showSettings(const QList<quint8> &addresses, const ProcessSettings &settings, const QString &path);
    // The rates as entered, by address.
    QMap<quint8, double> enteredRates() const;
    QDoubleSpinBox *rateField(int row) const;

signals:
    // The operator saved rates that differ from the settings shown.
    void saveRequested(QMap<quint8, double> rates);

private:
    void save();

    std::unique_ptr<Ui::ProcessSettingsWindow> ui;
    QList<quint8> m_addresses;
    QMap<quint8, double> m_shownRates;
};
