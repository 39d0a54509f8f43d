#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QVector>

class AlarmMonitor;
class AuditTrail;
class AuditListWindow;
class AlarmWiring;
class BenchModel;
class ParameterBackupWiring;
class ProcessSettingsWiring;
class WorkspaceWiring;
class RampDriver;
class MixDriver;
class MixSettingsWindow;
class BusHealthWindow;
class DataFileLoader;
class DeviceLine;
class DeviceThread;
class ExitSequence;
class MqttLinkWiring;
class PlotWidget;
class QAction;
class QMenu;
struct Reading;
struct RegisterReply;
struct ScanResult;
class RecordingRecovery;
class RecordingStatusLabel;
class SerialPort;
class deviceWindow;
class loginWnd;
class lossWidget;
class qDebugWidget;
class saveFileSetWidget;
class setAdminParam;
class setDeviceParamWin;
class setSerialport;
class stageControlWidget;

namespace Ui {
class mainWnd;
}

// The main window: owns the pages, the secondary windows and the communication worker, wires them
// together and routes scan results, readings and requests between them.
class mainWnd : public QMainWindow
{
    Q_OBJECT
public:
    // tickIntervalMs: the worker's tick; 1000 ms in the product, shorter in tests.
    explicit mainWnd(QWidget *parent = nullptr, int tickIntervalMs = 1000);
    ~mainWnd() override;

    // Read-only access for tests and for the pages' own issues.
    deviceWindow *devicePage() const { return m_devicePage; }
    stageControlWidget *stagePage() const { return m_stagePage; }
    PlotWidget *historyPage() const { return m_historyPage; }
    const QVector<PlotWidget *> &chartPages() const { return devicePlots; }
    DeviceThread *worker() const { return deviceThread; }
    QMenu *commMenu() const { return menuComm; }
    QList<quint8> foundDeviceIds() const { return deviceIds; }
    MqttLinkWiring *mqttLink() const { return m_mqtt; }
    BenchModel *benchModel() const { return m_model; }
    RampDriver *ramps() const { return m_ramps; }
    MixDriver *mixes() const { return m_mixes; }
    MixSettingsWindow *mixSettings() const { return m_mixWindow; }
    AlarmMonitor *alarms() const { return m_alarms; }
    AlarmWiring *alarmWiring() const { return m_alarmWiring; }
    ProcessSettingsWiring *processSettings() const { return m_process; }
    ParameterBackupWiring *parameterBackup() const { return m_backup; }
    WorkspaceWiring *workspace() const { return m_workspace; }
    AuditTrail *auditTrail() const { return m_audit; }
    AuditListWindow *auditList() const { return m_auditList; }
    QAction *openFileAction() const { return actionOpenFile; }
    QAction *developerAction() const { return actionDevelop; }

    saveFileSetWidget *saveWnd = nullptr;
    setDeviceParamWin *ordParamWnd = nullptr;
    setSerialport *serialWnd = nullptr;
    lossWidget *lossWnd = nullptr;
    BusHealthWindow *healthWnd = nullptr;
    setAdminParam *adminParamWnd = nullptr;
    loginWnd *developLoginWnd = nullptr;
    loginWnd *adminLoginWnd = nullptr;
    qDebugWidget *debugWnd = nullptr;

signals:
    void refreshSer();
    void clearCombox();
    void isBeenFindDevice(uchar device);
    void sendDeviceCount(QList<quint8> devices);
    void showsCurCumset(int type, uchar deviceId);
    void sig_refresdDevicedSta(int deviceId, bool conn);
    void clearMessge();

public slots:
    void set485();
    void savePlotFile();
    void setOrdParam();
    void setAdmin();
    void showDevelopAction();
    void loss_Statistics();
    void showBusHealth();
    void showVersion();
    void openinstructionsFile();
    void switchLanguage();
    void openPlotFile();

    void action_checkDevice();
    void updateSerStatus(int type);
    void slot_CheckDevice(QByteArray datas);
    void receiveDevicesCount(QList<quint8> devices);
    void slot_receiveStageWidget(QList<quint8> devices);
    void slot_refreshDeviceMode(uchar deviceId, int mode);
    void slot_deviceISconnectd(uchar deviceId, bool isconnect);
    void showDeviceCum(int type, uchar deviceId, QByteArray result);
    void refreshDeiceInforMation(int type, uchar deviceId, QByteArray result);
    void slots_showDeviceParam(uchar deviceId);
    void slot_modifyDeviceParam(uchar deviceId, int type, int data_type, int data1, float data2);
    void slot_showAdmin(uchar deviceId);
    void slot_modifyAdminParam(uchar deviceId, int type, int data_type, int data1, float data2);
    void resoponseLogWnd(bool invalid);
    void responseDevpWnd(bool invalid);
    void slot_closeDebug();

public:
    // Handlers connected by pointer (not slots).
    // A polled reading, into its controller's row and onto its chart page.
    void showReadingInRow(const Reading &reading);
    // A setpoint read back, into its controller's row.
    void showSetpointReadBack(const RegisterReply &reply);
    // What a scan found: the rows, the parameter windows, the stage widgets, the save window and
    // the worker's list take its addresses.
    void showScanResult(const ScanResult &scan);
    void plotReading(const Reading &reading);
    // The same for a raw reply that arrives without its reading: decoded here, taken as read now.
    void feedDeviceChart(int type, int deviceId, QByteArray result);
    // The adapter went away: every online row shows "掉线" and one notice says so; the rows return
    // to their polled state when the port opens again.
    void showLinkLost(QString reason);
    void requestSetpointWrite(uchar deviceId, int type, float value);
    // The outcome of a setpoint write into the row of its controller: confirmed, or given up (the
    // field turns yellow and waits for the controller's own value to be read back).
    void showSetpointWritten(int kind, int deviceId, float value);
    void showSetpointGivenUp(int kind, int deviceId);
    // A controller dropped: its row's readings are kept, greyed, until readings come again.
    void showControllerState(quint8 deviceId);
    // Where a controller's ramp stands, in its row.
    void showRamp(quint8 deviceId);
    // The operator closed the port: every row goes back to what the scan left, not online.
    void showPortClosed();
    void logFlowSet(int type, float result);
    void startChartSave(int deviceId, QDateTime startTime, int duartion, bool save_cur, bool save_cum,
                        bool save_temp, bool save_press, QString fileName);

protected:
    // The first showing offers to turn the journals of recordings that never finished into their
    // data files.
    void showEvent(QShowEvent *event) override;
    // The program ends with its main window, whatever other windows are open: the worker falls
    // silent and the event loop ends. A running staged programme is stopped first (ExitSequence).
    void closeEvent(QCloseEvent *event) override;

private:
    void offerRecordingRecovery();
    void followRecordingWrites(PlotWidget *page);
    void createPages();
    void createWindows();
    void createMenus();
    void createChartPages();
    void connectWiring();
    void startWorker(int tickIntervalMs);
    void openWindow(QWidget *window, const QString &title);
    DeviceLine *rowOf(quint8 deviceId) const;
    void reportFileOpened(const QString &fileName);
    void restoreLinkDroppedRows();
    void createExitSequence();
    void createMixSettings();
    void createRecordingStatus();
    void createMqttLink();
    void createProcessSettings();
    void createParameterBackup();
    void createWorkspace();

    Ui::mainWnd *ui;
    deviceWindow *m_devicePage = nullptr;
    stageControlWidget *m_stagePage = nullptr;
    PlotWidget *m_historyPage = nullptr;
    QVector<PlotWidget *> devicePlots;
    SerialPort *serialPort = nullptr;
    DeviceThread *deviceThread = nullptr;
    QMenu *menuComm = nullptr;
    bool m_portOpen = false; // as the worker last reported; the menu's title shows it
    QAction *actionOpenFile = nullptr;
    QAction *actionDevelop = nullptr;
    QList<quint8> deviceIds;
    QSet<quint8> foundIds;
    QPointer<DataFileLoader> m_fileLoader; // the saved file being drawn on the history page
    QList<quint8> linkDroppedIds; // rows marked dropped because the link went away
    ExitSequence *m_exit = nullptr;
    RecordingStatusLabel *m_recordingStatus = nullptr;
    RecordingRecovery *m_recordingRecovery = nullptr; // made at the first showing
    MqttLinkWiring *m_mqtt = nullptr;
    BenchModel *m_model = nullptr;
    RampDriver *m_ramps = nullptr;
    MixDriver *m_mixes = nullptr;
    MixSettingsWindow *m_mixWindow = nullptr;
    AlarmMonitor *m_alarms = nullptr;
    AlarmWiring *m_alarmWiring = nullptr;
    ProcessSettingsWiring *m_process = nullptr;
    ParameterBackupWiring *m_backup = nullptr;
    WorkspaceWiring *m_workspace = nullptr;
    AuditTrail *m_audit = nullptr;
    AuditListWindow *m_auditList = nullptr;
};
