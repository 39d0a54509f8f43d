#pragma once

#include "Workspace.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QAction;
class QPushButton;
class mainWnd;
struct ScanResult;

// The workspace in the application: what the operator sets up (the port, its baud rate, the
// communication settings, the controllers taken online, the programme files loaded) is kept in
// its file as it changes; at start the last one is offered, once, in the status bar and the
// communication menu. Nothing is opened or written before that offer is taken: restore() opens
// the port with those settings, scans, takes online the controllers that answer, names those that
// do not, and loads the programme files that still exist into their widgets (none is started).
class WorkspaceWiring : public QObject
{
    Q_OBJECT
public:
    WorkspaceWiring(mainWnd *window, const QString &path);

    // What was kept when the program last ran (what the offer restores), and what is kept now.
    const Workspace &last() const { return m_last; }
    const Workspace &kept() const { return m_kept; }
    // The offer; nullptr when there was nothing to restore or once it was taken.
    QPushButton *offerButton() const;
    QAction *offerAction() const;

    // What the offer does.
    void restore();
    // Opens `port` at `baud`, scans and takes online every controller that answers.
    void connectTo(const QString &port, int baud);

signals:
    // A restore or a connection ended: the controllers were taken online (or it failed, said in
    // a notice).
    void finished();

private:
    enum class Phase
    {
        Idle,
        Opening,
        Scanning
    };
    void offer();
    void withdrawOffer();
    void open(const QString &port, int baud);
    void followPort(int status);
    void followScan(const ScanResult &scan);
    void loadProgrammes();
    void keep();

    mainWnd *m_main;
    QString m_path;
    Workspace m_last;
    Workspace m_kept;
    QPointer<QPushButton> m_button;
    QPointer<QAction> m_action;
    Phase m_phase = Phase::Idle;
    bool m_everyController = false; // take online all that answer, not only those kept
    QList<quint8> m_wanted;
    QString m_requestedPort; // the last port asked to open, and its baud rate
    int m_requestedBaud = 0;
    bool m_portOpen = false;
};
