#pragma once

// The bus codes themselves rather than declarations of them: lupdate cannot read an opaque enum
// declaration and would lose this class's tr() context.
#include "BusCodes.h"
#include "SetpointRange.h"

#include <QWidget>
#include <memory>
#include <optional>

class QDateTime;
class QLabel;
class QPushButton;
class CustomSpimbox;
class myButton;
struct Reading;

namespace Ui {
class DeviceLine;
}

// One controller row of the device page. The address is the caption of btn_id and a hidden reading
// is a light grey reading button; the online state and the control mode shown are kept here, since
// their captions depend on the interface's language.
class DeviceLine : public QWidget
{
    Q_OBJECT

public:
    // The setpoints a controller accepts, in sccm (instantaneous) or L (cumulative).
    static constexpr float lowestSetpoint = SetpointRange::lowest;
    static constexpr float highestSetpoint = SetpointRange::highest;
    // refreshOnlineDevice: the row's controller is now polled, or no longer.
    enum OnlineChange
    {
        BecameOnline = 1,
        WentOffline = 2
    };

    explicit DeviceLine(QWidget *parent = nullptr);
    ~DeviceLine() override;

    void setModeView(int deviceId, int type);
    void resetValueButtons();
    void restoreValueLabels();
    void hideValueButton(myButton *button);
    void setDeviceId(const QString &text);
    void resetRow();
    // A polled reading; one that is no usable number leaves the text as it was.
    void showReading(const Reading &reading);
    // The same for a value in the controller's own unit (pressure in Pa).
    void showReading(int type, float value);
    void showSetpoint(int type, float value);
    void showDeviceMode(int mode);
    void markDropped();
    // The readings shown are no longer current (the controller dropped): their text greys, for
    // reference, with the time of the last reading as tooltip; the style sheets that carry the
    // row's state stay as they are. showReadingsCurrent() undoes it.
    void showReadingsStale(const QDateTime &lastReading);
    void showReadingsCurrent();
    bool readingsStale() const { return m_readingsStale; }
    // The controller echoed a setpoint write (kind 1 or 2) of this value: the field's mark of a
    // failed write goes, and a refused entry returns to this value.
    void confirmSetpoint(int kind, float value);
    // A setpoint write was given up: the field turns yellow and empties until the controller's own
    // value is read back into it; the mark stays until a later write of the field is confirmed.
    void markSetpointFailed(int kind);
    // A setpoint entry that was refused: the field shows again the value the controller holds.
    void revertSetpoint(int kind);
    // A ramp of the flow setpoint heads for `target` (sccm) and stands at `reached`; nothing: none.
    void showRamp(std::optional<float> target, float reached, double rate);
    // A red mark beside the address while the controller has latched alarms (their texts as its
    // tooltip); an empty text takes it away.
    void showAlarm(const QString &text);
    bool showsAlarm() const;
    // The port was closed: the row goes back to what a scan leaves, its address kept and the
    // controller not online, so that nothing on it looks polled.
    void resetKeepingAddress();

    QString deviceIdText() const;
    QString onlineCaption() const;
    // The controller is online ("接连"), or was lost while it was ("掉线").
    bool isConnected() const;
    bool hasDropped() const;

signals:
    void signla_onlineDevice(int online_type, int deviceId);
    void setBseParam(uchar deviceId, int type, float value);
    void changeMode(uchar deviceId, int type);
    void noShowFlow(uchar deviceId, int type, bool online);
    void refreshOnlineDevice(int id, int type);
    void showFlowSetValue(int type, int deviceid);
    void sig_setflow(int type, float result);
    void showMode(int deviceId);

public slots:
    void on_btn_online_clicked();
    void on_btn_mode_clicked();
    void on_btn_currentFlow_clicked();
    void on_btn_cumFlow_clicked();
    void on_btn_temp_clicked();
    void on_btn_press_clicked();
    void slot_setcurFlow(float input);
    void slot_setcumFlow(float input);

private:
    enum class OnlineState
    {
        NotYetOnline,
        Connected,
        Disconnected,
        Dropped
    };

    void buildCells();
    void buildLayout();
    int deviceAddress() const;
    QString onlineStateCaption() const;
    void setOnlineState(OnlineState state);
    static QString modeCaption(bool cumulative);
    void showModeCaption(bool cumulative);
    void goOnline(const QString &onlineStyle, bool askMode);
    void goOffline(int id);
    void reconnectDropped(int id);
    void toggleReading(myButton *button, Bus::ReadingType type);
    void commitSetpoint(Bus::SetpointKind kind, float input);
    void switchMode(int id, int newMode);
    void setActiveEntry(CustomSpimbox *active, CustomSpimbox *grey);
    CustomSpimbox *setpointEntry(int kind) const;

    std::unique_ptr<Ui::DeviceLine> ui;
    QPushButton *btn_online = nullptr;
    QPushButton *btn_id = nullptr;
    myButton *btn_currentFlow = nullptr;
    myButton *btn_cumFlow = nullptr;
    myButton *btn_temp = nullptr;
    myButton *btn_press = nullptr;
    CustomSpimbox *edit_cur = nullptr;
    CustomSpimbox *edit_cum = nullptr;
    myButton *btn_mode = nullptr;
    OnlineState m_onlineState = OnlineState::NotYetOnline;
    bool m_showsCumulativeMode = true;
    bool m_readingsStale = false;
    QLabel *m_alarmMark = nullptr;
};
