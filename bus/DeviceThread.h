#pragma once

#include "BusHealth.h"
#include "FrameRecord.h"
#include "OnlineList.h"
#include "Reading.h"
#include "RegisterReply.h"
#include "ScanReply.h"
#include "WorkerThread.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QSerialPortInfo>
#include <atomic>
#include <memory>
#include <vector>

class BusLink;
class DiagnosticsFeed;
class LinkWatch;
class Poller;
class QTimer;
class RequestServer;

// The communication worker. The object lives on the thread it starts (WorkerThread), so its
// link, its main timer, every tick and every slot run there: a tick blocks only this thread while
// it waits for a reply, and ticks never overlap. Requests come in one way: through the thread's
// event queue, as calls of the public slots and request methods below, which any thread may make
// (directly or through a signal connection); they are served between ticks, in the order made.
// Results leave it as signals only. shutdown() stops the running tick after its current exchange
// and closes the port on the worker thread.
//
// The parts: BusLink (the port and every exchange), RequestServer with its RequestBook (the
// one-off requests of a tick), Poller (the polling cycle), OnlineList (the known controllers) and
// LinkWatch (waits for a lost adapter to come back). This class owns them and the thread.
class DeviceThread : public WorkerThread
{
    Q_OBJECT
public:
    explicit DeviceThread(QObject *ignored = nullptr);
    ~DeviceThread() override;

    // The reason given by sig_openFailed when the port is open already, untranslated: the serial
    // dialog translates it where it shows it.
    static constexpr const char *kAlreadyOpen = QT_TRANSLATE_NOOP("setSerialport", "串口已经打开");

    // Thread-safe requests; each posts to the worker thread and is served by the next tick. A
    // request replaces a waiting one only for the same controller and kind (and parameter type,
    // or setpoint kind); the others wait their turn, oldest first.
    void requestScan();
    void requestOrdinaryRead(quint8 deviceId);
    void requestOrdinaryWrite(quint8 deviceId, int type, int dataType, int data1, float data2);
    void requestAdminRead(quint8 deviceId);
    void requestAdminWrite(quint8 deviceId, int type, int dataType, int data1, float data2);
    // A ticket other than 0 is answered by exactly one of sig_setpointEnded and sig_setpointReplaced.
    void requestSetpoint(quint8 deviceId, int kind, float value, quint64 ticket = 0);

    // Sets the instantaneous setpoint of each controller to 0 as soon as the worker is between
    // ticks, retrying back to back until the deadline (RequestServer::stopFlows), then emits
    // sig_flowsStopped with the controllers that did not confirm it.
    void requestFlowStop(QList<quint8> deviceIds, QDeadlineTimer deadline);

    // Asks for the same end without waiting for it: the bus falls silent after the current
    // exchange; shutdown() or the destructor still waits for the thread.
    void requestStop();

    // A copy of the device list, taken on the worker thread (blocks the caller until the worker
    // is between ticks). Not to be called from the worker thread itself.
    QList<OnlineDevice> devicesSnapshot();

    // How each controller and the bus are doing, counted since the port was opened; any thread may
    // read it.
    BusHealth &health() { return m_health; }
    // While the tap is on, every frame on the line leaves in sig_frames; while it is off (as it
    // starts) none is built. Any thread.
    void setFrameTap(bool on) { m_tapOn = on; }

    // Whether the adapter of the open port hands the host's bytes back: its copy of each probe is
    // then in a scan's result beside the controllers' echoes. Any thread may ask.
    bool adapterEchoes() const { return m_adapterEchoes; }

    // The request/response primitives; they run on the worker thread only. A read is a round of
    // its own (BusLink::beginRound): a controller out of step is checked before it is read.
    bool waitForReply(int expectedBytes, int timeoutMs, QByteArray &out);
    bool readRegisters(quint8 address, quint16 reg, QByteArray &out);
    bool writeRegister(quint8 address, quint16 reg, int value);
    bool writeFloatRegister(quint8 address, quint16 reg, float value);

signals:
    void refreshDeviceMode(int deviceId, int mode);
    void deviceconnectStatus(int deviceId, bool connect);
    void sig_count_loss(int type, float result);
    void sig_param_result(int type, int deviceId, QByteArray result);
    void sig_show_Admin_param_result(int type, int deviceId, QByteArray result);
    // The same answers decoded (the parameter's read code, the controller, the values, the read
    // time); each right after its raw signal.
    void sig_parameterRead(RegisterReply reply);
    void sig_adminParameterRead(RegisterReply reply);
    void sig_CommParam(int type, int result);
    // Every byte of a scan; sig_scanResult follows with the controllers found in them.
    void sig_CheckDevice(QByteArray data);
    void sig_scanResult(ScanResult result);
    void sig_refreshSerCombox(QList<QSerialPortInfo> ports);
    void signal_ser_status(int status);
    void sig_showCurResult(int type, int deviceId, QByteArray result);
    // The same read-back decoded (code: the setpoint kind), right after it.
    void sig_setpointRead(RegisterReply reply);
    // The raw reply of a polled quantity, for receivers that want the bytes as they came.
    void sendFreshDeviceInformation(int type, int deviceId, QByteArray result);
    // The same answer decoded, with the time its last byte arrived; emitted right after it.
    void sig_reading(Reading reading);
    void sig_modifyAdminStatus(bool sucess, int adress);
    void sig_modifyParamStatus(bool sucess, int adress);
    // Opening failed, with the port's own reason; emitted just before signal_ser_status(3).
    void sig_openFailed(QString reason);
    // The adapter went away under an open port: emitted once, just before signal_ser_status(2).
    // Polling pauses; when the same port comes back the worker reopens it, emits
    // signal_ser_status(1) and polls again the controllers that were online.
    void sig_linkLost(QString reason);
    // The answer to requestFlowStop: the controllers whose 0 was not confirmed (empty: all were).
    void sig_flowsStopped(QList<quint8> unconfirmed);
    // A setpoint write (kind 1 instantaneous, 2 cumulative) was echoed by the controller.
    void sig_setpointWritten(int kind, int deviceId, float value);
    // A setpoint write was given up after its last attempt: the controller does not have the value.
    // One read of the controller's own setpoint follows; when it is answered it arrives as
    // sig_showCurResult, after this signal.
    void sig_setpointGivenUp(int kind, int deviceId);
    // How a setpoint sent with a ticket ended: written (echoed) or given up, right after the signal
    // above; or replaced in the request book by a newer one of its controller and kind before it
    // went out.
    void sig_setpointEnded(quint64 ticket, bool written);
    void sig_setpointReplaced(quint64 ticket);
    // A staged step, or the 0 of a flow stop, was echoed by the controller: it holds that
    // instantaneous setpoint.
    void sig_stepWritten(int deviceId, float value);
    // The operator closed the port (also one whose adapter had gone away): every controller's
    // polling is switched off, as if taken offline, and its waiting read-backs are dropped, so no
    // controller is declared lost for the closed port. Emitted before signal_ser_status(2).
    void sig_portClosed();
    // Frames as they passed on the line, oldest first, a few batches a second; only while the frame
    // tap is on.
    void sig_frames(std::vector<FrameRecord> frames);
    // What the link found out about the adapter: after every opening of the port (also after a
    // lost adapter came back), and again when a reply shows later that the adapter echoes.
    void sig_adapterEcho(bool echoes);

public slots:
    // Every slot may be called from any thread: called off the worker thread it re-posts itself.
    void slot_openSer(int type, QString name, int baudRate);
    void slot_refresdhSer();
    void setCommParam(int type, int result);
    void slot_getCommara(int type);
    void startMainTimer(int interval);
    void slot_checkDevices(QList<quint8> devices);
    void slot_onlineDevice(int online_type, int deviceId);
    void slot_showFlowResult(int type, int deviceId);
    void slot_responseShowMode(uchar deviceId);
    void slot_clearLoss();
    void slot_excuteStep(uchar deviceId, float data);
    void slot_startStep(bool isStep);

protected:
    void run() override;

private slots:
    void onMainTimer();

private:
    void createParts();
    void connectParts();
    void onLinkLost(const QString &reason);
    void closeByOperator();
    bool reopenLostLink();
    void postRequest(int kind, quint8 deviceId, int type = 0, int dataType = 0, int data1 = 0,
                     float value = 0, quint64 ticket = 0);
    void readBackOnline(quint8 deviceId);

    // Created and destroyed on the worker thread, in run().
    std::unique_ptr<BusLink> m_link;
    std::unique_ptr<RequestServer> m_requests;
    std::unique_ptr<Poller> m_poller;
    std::unique_ptr<LinkWatch> m_watch;
    std::unique_ptr<QTimer> m_mainTimer;
    std::unique_ptr<DiagnosticsFeed> m_diagnostics;
    OnlineList m_devices;
    BusHealth m_health;
    std::atomic_bool m_tapOn{false};
    std::atomic<bool> m_adapterEchoes{false};
};
