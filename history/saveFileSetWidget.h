#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QWidget>

namespace Ui {
class saveFileSetWidget;
}

// The export settings window: which controller, from when, for how long and which readings.
// The confirm button that issues sig_savePlotFile comes with the recording feature.
class saveFileSetWidget : public QWidget
{
    Q_OBJECT

public:
    explicit saveFileSetWidget(QWidget *parent = nullptr);
    ~saveFileSetWidget() override;

    // The addresses offered for export, in list order (the prompt item excluded).
    QList<quint8> listedDevices() const;

signals:
    void sig_savePlotFile(int deviceId, QDateTime startTime, int duartion, bool save_cur, bool save_cum,
                          bool save_temp, bool save_press, QString fileName);

public slots:
    // Replaces the offered addresses; item 0, the prompt, stays.
    void updateDeviceList(QList<quint8> devices);

private:
    Ui::saveFileSetWidget *ui;
};
