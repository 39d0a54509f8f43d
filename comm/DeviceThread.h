#pragma once

#include "OnlineDevice.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSerialPortInfo>
#include <QThread>
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>

class QSerialPort;
class QTimer;

// The communication worker. The object moves itself to the thread it starts, so its port, its
// main timer, every tick and every slot run there: a tick blocks only this thread while it waits
// for a reply, ticks never overlap, and requests (queued slot calls) are served between ticks.
// Windows talk to it through signal connections (queued across the threads) or through the
// thread-safe request methods below; results leave it as signals only.
class DeviceThread : public QThread
{
    Q_OBJECT
public:
    explicit DeviceThread(QObject *ignored = nullptr);
    ~DeviceThread() override;

    // Thread-safe requests; each posts to the worker thread and is served by the next tick.
    // A request posted while an earlier one of its kind is pending overwrites its arguments.
    void requestScan();
    void requestOrdinaryRead(quint8 deviceId);
    void requestOrdinaryWrite(quint8 deviceId, int type, int dataType, int data1, float data2);
    void requestAdminRead(quint8 deviceId);
    void requestAdminWrite(quint8 deviceId, int type, int dataType, int data1, float data2);
    void requestSetpoint(quint8 deviceId, int kind, float value);

    // Ends the thread in order: the running tick stops after its current exchange, the port is
    // closed on the worker thread, and the call returns when the thread has finished.
    void shutdown();

    // A copy of the device list, taken on the worker thread (blocks the caller until the worker
    // is between ticks). Not to be called from the worker thread itself.
    QList<OnlineDevice> devicesSnapshot();

    // The request/response primitives; they run on the worker thread only.
    bool waitForReply(int expectedBytes, int timeoutMs, QByteArray &out);
    bool readRegisters(quint8 address, quint16 reg, QByteArray &out);
    bool writeRegister(quint8 address, quint16 reg, int value);
    bool writeFloatRegister(quint8 address, quint16 reg, float value);
    // Probes addresses 1 to 15 with the diagnostic echo and returns every byte received; the
    // port must be open. The scan request of a tick is served with it.
    QByteArray scanBus();

signals:
    void refreshDeviceMode(int deviceId, int mode);
    void deviceconnectStatus(int deviceId, bool connect);
    void sig_count_loss(int type, float result);
    void sig_param_result(int type, int deviceId, QByteArray result);
    void sig_show_Admin_param_result(int type, int deviceId, QByteArray result);
    void sig_CommParam(int type, int result);
    void sig_CheckDevice(QByteArray data);
    void sig_refreshSerCombox(QList<QSerialPortInfo> ports);
    void signal_ser_status(int status);
    void sig_showCurResult(int type, int deviceId, QByteArray result);
    void sendFreshDeviceInformation(int type, int deviceId, QByteArray result);
    void sig_modifyAdminStatus(bool sucess, int adress);
    void sig_modifyParamStatus(bool sucess, int adress);

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
    bool event(QEvent *event) override;

private slots:
    void onMainTimer();

public:
    // Runs a job on the worker thread and returns when it has finished; the way to call the
    // primitives above from another thread (the command-line tool and tests do). If the thread is
    // not running the job is not run and false is returned. Not to be called from the worker thread.
    bool runOnWorker(const std::function<void()> &job);

private:
    // Hands a job to the worker thread, served in the order posted. The jobs pass through a queue
    // of our own under a standard mutex, so the hand-over is visible to ThreadSanitizer too.
    void post(std::function<void()> job);
    bool onWorkerThread() const;
    bool linkBroken() const;
    bool portOpen() const;
    void onPortError(int error);
    void discardInput();
    bool sendFrame(const QByteArray &frame, int writeTimeoutMs);
    bool writeEchoed(quint8 address, quint16 reg, const QByteArray &frame, bool verbose);
    int replyTimeout() const;

    // The steps of one tick, in the order they are served.
    bool stopping() const;
    void serveScan();
    void serveSteps();
    void serveOrdinaryRead();
    void serveOrdinaryWrite();
    void serveAdminRead();
    void serveAdminWrite();
    void serveSetpoint();
    void serveSetpointReadBacks();
    void pollDevices();
    bool pollDevice(int index);
    void reportUsage();

    void blockRead(quint8 address, const QList<quint16> &registers, bool admin);
    bool removeDevice(quint8 address);
    int indexOfDevice(quint8 address) const;

    std::mutex m_jobsMutex;
    std::deque<std::function<void()>> m_jobs;

    QSerialPort *m_serial = nullptr;
    // The adapter went away under an open port: the port is closed underneath (a dead descriptor
    // would wake the event loop without end), yet to the windows it stays open until they close
    // or reopen it.
    bool m_linkLost = false;
    QString m_linkError;
    QTimer *m_mainTimer = nullptr;
    int m_period = 1000;
    int m_queryPause = 10;
    int m_replyTimeout = 500;
    int m_totalLosses = 0;
    QList<OnlineDevice> online_devices;
    QByteArray m_scanBuffer;
    QByteArray m_scanResult;
    QDateTime m_cycleStart;
    QDateTime m_cycleEnd;

    bool m_scanRequested = false;
    bool m_stepRequested = false;
    bool m_ordReadPending = false;
    quint8 m_ordReadId = 0;
    bool m_ordWritePending = false;
    quint8 m_ordWriteId = 0;
    int m_ordWriteType = 0;
    int m_ordWriteDataType = 0;
    int m_ordWriteData1 = 0;
    float m_ordWriteData2 = 0;
    bool m_adminReadPending = false;
    bool m_adminWritePending = false;
    quint8 m_adminId = 0;
    int m_adminWriteType = 0;
    int m_adminWriteDataType = 0;
    int m_adminWriteData1 = 0;
    float m_adminWriteData2 = 0;
    bool m_setpointPending = false;
    quint8 m_setpointId = 0;
    int m_setpointKind = 0;
    float m_setpointValue = 0;
    int m_setpointRetries = 0; // shared by both setpoint kinds
    bool m_showCurPending = false;
    int m_showCurId = 0;
    bool m_showCumPending = false;
    int m_showCumId = 0;
    bool m_showModePending = false;
    quint8 m_showModeId = 0;
};
