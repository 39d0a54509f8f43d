#pragma once

// A simulated bus served on a pseudo-terminal and a running worker that talks to it through a
// real serial port, with the worker's signals relayed to the test thread and its log captured.

#include "BusCodes.h"
#include "DeviceThread.h"
#include "SerialPort.h"
#include "SimBus.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <mutex>

// Every message of the process, kept for the test to look at. The hook runs on the thread that
// logged, synchronously, so a test can change the bus at an exact point of a tick.
class LogCapture
{
public:
    using Hook = std::function<void(const QString &line)>;

    // Instances nest: the first installs the handler, the last removes it and forgets the lines.
    LogCapture()
    {
        std::lock_guard<std::mutex> lock(mutex());
        if (users()++ == 0)
            previous() = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        std::lock_guard<std::mutex> lock(mutex());
        if (--users() > 0)
            return;
        qInstallMessageHandler(previous());
        lines().clear();
        hook() = nullptr;
    }

    static int count(const QString &text)
    {
        std::lock_guard<std::mutex> lock(mutex());
        int n = 0;
        for (const QString &line : lines())
            n += line.contains(text) ? 1 : 0;
        return n;
    }
    static QStringList all()
    {
        std::lock_guard<std::mutex> lock(mutex());
        return lines();
    }
    static void setHook(Hook h)
    {
        std::lock_guard<std::mutex> lock(mutex());
        hook() = std::move(h);
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        Hook current;
        {
            std::lock_guard<std::mutex> lock(mutex());
            lines().append(text);
            current = hook();
        }
        if (current)
            current(text);
        if (type != QtDebugMsg && previous())
            previous()(type, context, text);
    }
    // A standard mutex, so that ThreadSanitizer sees the hand-over between threads.
    static std::mutex &mutex()
    {
        static std::mutex m;
        return m;
    }
    static QStringList &lines()
    {
        static QStringList l;
        return l;
    }
    static Hook &hook()
    {
        static Hook h;
        return h;
    }
    static int &users()
    {
        static int n = 0;
        return n;
    }
    static QtMessageHandler &previous()
    {
        static QtMessageHandler p = nullptr;
        return p;
    }
};

// Receives the worker's signals on the test thread (queued, in the order emitted), so that spies
// are filled and read on one thread.
class WorkerSignals : public QObject
{
    Q_OBJECT
public:
    explicit WorkerSignals(DeviceThread *worker)
    {
        connect(worker, &DeviceThread::refreshDeviceMode, this, &WorkerSignals::refreshDeviceMode);
        connect(worker, &DeviceThread::deviceconnectStatus, this, &WorkerSignals::deviceconnectStatus);
        connect(worker, &DeviceThread::sig_count_loss, this, &WorkerSignals::sig_count_loss);
        connect(worker, &DeviceThread::sig_param_result, this, &WorkerSignals::sig_param_result);
        connect(worker, &DeviceThread::sig_show_Admin_param_result, this,
                &WorkerSignals::sig_show_Admin_param_result);
        connect(worker, &DeviceThread::sig_CommParam, this, &WorkerSignals::sig_CommParam);
        connect(worker, &DeviceThread::sig_CheckDevice, this, &WorkerSignals::sig_CheckDevice);
        connect(worker, &DeviceThread::signal_ser_status, this, &WorkerSignals::signal_ser_status);
        connect(worker, &DeviceThread::sig_showCurResult, this, &WorkerSignals::sig_showCurResult);
        connect(worker, &DeviceThread::sendFreshDeviceInformation, this,
                &WorkerSignals::sendFreshDeviceInformation);
        connect(worker, &DeviceThread::sig_reading, this, &WorkerSignals::sig_reading);
        connect(worker, &DeviceThread::sig_modifyAdminStatus, this, &WorkerSignals::sig_modifyAdminStatus);
        connect(worker, &DeviceThread::sig_modifyParamStatus, this, &WorkerSignals::sig_modifyParamStatus);
        connect(worker, &DeviceThread::sig_openFailed, this, &WorkerSignals::sig_openFailed);
        connect(worker, &DeviceThread::sig_linkLost, this, &WorkerSignals::sig_linkLost);
        connect(worker, &DeviceThread::sig_flowsStopped, this, &WorkerSignals::sig_flowsStopped);
        connect(worker, &DeviceThread::sig_setpointWritten, this, &WorkerSignals::sig_setpointWritten);
        connect(worker, &DeviceThread::sig_setpointGivenUp, this, &WorkerSignals::sig_setpointGivenUp);
        connect(worker, &DeviceThread::sig_portClosed, this, &WorkerSignals::sig_portClosed);
        connect(worker, &DeviceThread::sig_adapterEcho, this, &WorkerSignals::sig_adapterEcho);
    }

signals:
    void refreshDeviceMode(int deviceId, int mode);
    void deviceconnectStatus(int deviceId, bool connect);
    void sig_count_loss(int type, float result);
    void sig_param_result(int type, int deviceId, QByteArray result);
    void sig_show_Admin_param_result(int type, int deviceId, QByteArray result);
    void sig_CommParam(int type, int result);
    void sig_CheckDevice(QByteArray data);
    void signal_ser_status(int status);
    void sig_showCurResult(int type, int deviceId, QByteArray result);
    void sendFreshDeviceInformation(int type, int deviceId, QByteArray result);
    void sig_reading(Reading reading);
    void sig_modifyAdminStatus(bool sucess, int adress);
    void sig_modifyParamStatus(bool sucess, int adress);
    void sig_openFailed(QString reason);
    void sig_linkLost(QString reason);
    void sig_flowsStopped(QList<quint8> unconfirmed);
    void sig_setpointWritten(int kind, int deviceId, float value);
    void sig_setpointGivenUp(int kind, int deviceId);
    void sig_portClosed();
    void sig_adapterEcho(bool echoes);
};

// A reply timeout that a loaded machine still meets: a missed reply costs a check of the line too.
struct Timings
{
    int pause = 1;
    int replyTimeout = 250;
};

class WorkerFixture
{
public:
    // wireBaud: 0 answers at once; N emulates the wire time at N baud, and the port opens at N.
    explicit WorkerFixture(const QList<quint8> &addresses = {1, 2, 3}, Timings timings = {}, int wireBaud = 0)
        : baud(wireBaud > 0 ? wireBaud : 9600)
    {
        SimBus::Options options;
        options.addresses = addresses;
        options.baud = wireBaud;
        options.linkPath = dir.filePath("ttyQUORIX");
        bus = std::make_unique<SimBus>(options);
        QString error;
        started = bus->start(&error);
        if (!started)
            qWarning("simulated bus did not start: %s", qPrintable(error));
        worker.start();
        setTimings(timings);
    }
    ~WorkerFixture()
    {
        worker.shutdown();
        bus->stop();
    }

    QString portPath() const { return bus->portPath(); }

    void setTimings(Timings timings)
    {
        worker.setCommParam(Bus::code(Bus::CommSetting::QueryPause), timings.pause);
        worker.setCommParam(Bus::code(Bus::CommSetting::ReplyTimeout), timings.replyTimeout);
    }

    // Opens the port and returns the status the worker reported (0: none within the wait).
    int openPort(const QString &path = QString())
    {
        QSignalSpy status(&relay, &WorkerSignals::signal_ser_status);
        worker.slot_openSer(Bus::code(Bus::PortRequest::Open), path.isEmpty() ? portPath() : path, baud);
        if (!status.wait(5000))
            return 0;
        return status.takeFirst().at(0).toInt();
    }

    // Lists the devices and takes them online, all four quantities polled.
    void poll(const QList<quint8> &ids)
    {
        worker.slot_checkDevices(ids);
        for (quint8 id : ids)
            worker.slot_onlineDevice(Bus::code(Bus::OnlineRequest::TakeOnline), id);
    }

    // One tick, run on the worker thread; returns when it has finished.
    void tick() { QMetaObject::invokeMethod(&worker, "onMainTimer", Qt::BlockingQueuedConnection); }
    void ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            tick();
    }

    // A primitive run on the worker thread.
    template <typename F> auto onWorker(F job) -> decltype(job())
    {
        decltype(job()) result{};
        worker.runOnWorker([&] { result = job(); });
        return result;
    }

    OnlineDevice device(quint8 id)
    {
        for (const OnlineDevice &record : worker.devicesSnapshot())
            if (record.id == id)
                return record;
        return OnlineDevice{};
    }
    QList<quint8> deviceIds()
    {
        QList<quint8> ids;
        for (const OnlineDevice &record : worker.devicesSnapshot())
            ids.append(record.id);
        return ids;
    }

    // The frames the bus received with this function code, as hex; not the link's read of address
    // 0 at opening, which asks whether the adapter echoes and no controller answers.
    QStringList received(quint8 function = 0) const
    {
        QStringList frames;
        for (const QByteArray &frame : bus->receivedFrames())
            if (!isAdapterProbe(frame) &&
                (function == 0 || (frame.size() > 1 && quint8(frame[1]) == function)))
                frames.append(QString::fromLatin1(frame.toHex(' ')));
        return frames;
    }

    static bool isAdapterProbe(const QByteArray &frame) { return !frame.isEmpty() && frame[0] == '\0'; }
    static QString hex(const QByteArray &bytes) { return QString::fromLatin1(bytes.toHex(' ')); }
    static QByteArray readRequest(quint8 address, quint16 reg)
    {
        return SerialPort::appendCrc(SerialPort::buildReadFrame(address, reg, 2));
    }

    int baud;
    LogCapture log;
    QTemporaryDir dir;
    std::unique_ptr<SimBus> bus;
    bool started = false;
    DeviceThread worker;
    WorkerSignals relay{&worker};
};
