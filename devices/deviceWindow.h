#pragma once

#include <QList>
#include <QVector>
#include <QWidget>
#include <memory>

class DeviceLine;
class QVBoxLayout;

namespace Ui {
class deviceWindow;
}

// The device page: a header and ten controller rows. It relays every request of a row as a signal
// of its own and marks the rows of a device that stopped answering.
class deviceWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kRowCount = 10;

    explicit deviceWindow(QWidget *parent = nullptr);
    ~deviceWindow() override;

    // Row k shows the k-th address of the last scan; nullptr outside 0..9.
    DeviceLine *row(int index) const;
    int rowCount() const { return rows.size(); }
    // Addresses whose rows reported going online, in that order (an address may appear twice).
    const QList<int> &onlineDeviceIds() const { return onlineIds; }

signals:
    void sig_sendBaseParam(uchar deviceId, int type, float value);
    void sig_sendModeChange(uchar deviceId, int type);
    void signal_noShowFlow(uchar deviceId, int type, bool online);
    void sig_onlineDevice(int onlineType, int deviceId);
    void request_show_cumSet(int type, int deviceId);
    void sig_setFlow(int type, float result);
    void requestShowMode(uchar deviceId);

public slots:
    void slot_onlineDevice(int online_type, int deviceId);
    void slot_setBasePara(uchar deviceId, int type, float value);
    void slot_setMode(uchar deviceId, int type);
    void device_noShowFlow(uchar deviceId, int type, bool online);
    void refreshDeviceStatus(int deviceId, bool conn);
    void slot_showFlowSetValue(int type, int deviceId);
    void wid_setFlow(int type, float result);
    void slot_showMode(int deviceId);

private slots:
    void trackOnlineDevice(int id, int type);

private:
    QWidget *buildHeader();
    void addRow(QVBoxLayout *pageLayout);

    std::unique_ptr<Ui::deviceWindow> ui;
    QVector<DeviceLine *> rows;
    QList<int> onlineIds;
};
