#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

class DeviceThread;
class HealthTableModel;
class TrafficModel;

namespace Ui {
class BusHealthWindow;
}

// The window "通信诊断": per controller the outcomes of its exchanges, its latencies and its last
// reading, the bus below them, and on a second tab the frames as they pass. While it is shown it
// refreshes once a second (the cells whose text changed only) and the worker's frame tap is on;
// hidden, it costs nothing and no frame is built. On request the table also lists the probed
// addresses that did not answer the scan.
class BusHealthWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 1000;

    explicit BusHealthWindow(QWidget *parent = nullptr);
    ~BusHealthWindow() override;

    // The worker whose health and frames are shown.
    void attach(DeviceThread *worker);
    // Takes a snapshot of the worker's figures and shows it now.
    void refresh();

    HealthTableModel *healthModel() const { return m_health; }
    TrafficModel *trafficModel() const { return m_traffic; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private slots:
    void on_btn_clear_clicked();
    void on_btn_pause_clicked();
    void on_btn_save_clicked();
    void on_combox_device_currentIndexChanged(int index);
    void on_check_errorsOnly_toggled(bool errorsOnly);
    void on_check_allAddresses_toggled(bool all);

private:
    void setUpTables();
    void followNewestFrames();
    void keepPlaceWhile(const std::function<void()> &refilter);
    void noteTopFrame();
    void restorePlace();
    void listFilterAddresses();
    void showFrameCount();
    static void setTextIfChanged(class QLabel *label, const QString &text);
    static void setTextIfChanged(class QLineEdit *field, const QString &text);

    Ui::BusHealthWindow *ui;
    HealthTableModel *m_health;
    TrafficModel *m_traffic;
    QPointer<DeviceThread> m_worker; // the main window destroys its worker before its windows
    QTimer m_refresh;
    bool m_following = true; // the list shows its newest frames and follows them
    bool m_placing = false;  // the window, not the operator, moves the list
    bool m_scrolled = true;  // by the operator, since the top frame was last noted
    qint64 m_topFrame = -1;  // the frame kept at the top while the rows change under it
};
