#pragma once

// The real main window with its worker thread, a simulated bus on a pseudo-terminal, and every
// modal box answered and recorded through the seam.

#include "AuditTrail.h"
#include "DeviceLine.h"
#include "DeviceThread.h"
#include "JournalFiles.h"
#include "MessageBoxSeam.h"
#include "SimBus.h"
#include "Workspace.h"
#include "deviceWindow.h"
#include "mainWnd.h"
#include "setSerialport.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// A caption as the interface shows it in the installed language: the Chinese source text, or its
// translation in the context of the class that sets it.
inline QString shown(const char *context, const char *chinese)
{
    return QCoreApplication::translate(context, chinese);
}

class BoxRecorder
{
public:
    BoxRecorder()
    {
        MessageBoxSeam::setHandler([this](QWidget *, const MessageBoxSeam::Box &box) {
            boxes.append(box);
            return box.kind == MessageBoxSeam::Kind::Question ? questionAnswer : QMessageBox::Ok;
        });
    }
    ~BoxRecorder() { MessageBoxSeam::reset(); }
    BoxRecorder(const BoxRecorder &) = delete;
    BoxRecorder &operator=(const BoxRecorder &) = delete;

    QStringList texts() const
    {
        QStringList all;
        for (const auto &box : boxes)
            all << box.title + QLatin1Char('|') + box.text;
        return all;
    }
    QString lastText() const { return boxes.isEmpty() ? QString() : boxes.last().text; }

    QList<MessageBoxSeam::Box> boxes;
    QMessageBox::StandardButton questionAnswer = QMessageBox::Yes; // Yes: the first button
};

class MainWindowFixture
{
public:
    struct Setup
    {
        QList<quint8> addresses{1, 2, 3};
        int tickMs = 50;
        int pauseMs = 1;
        int replyTimeoutMs = 250;
    };

    explicit MainWindowFixture(const Setup &setup) : m_setup(setup)
    {
        SimBus::Options options;
        options.addresses = setup.addresses;
        options.linkPath = m_dir.filePath(QStringLiteral("ttyQUORIX"));
        bus = std::make_unique<SimBus>(options);
        // Journals of this window's recordings, and the unfinished ones it offers at its first
        // showing, are its own: never those of a test that crashed or runs beside it.
        JournalFiles::setFolder(m_dir.filePath(QStringLiteral("journals")));
        AuditTrail::setDefaultFolder(m_dir.filePath(QStringLiteral("audit")));
        Workspace::setDefaultPath(m_dir.filePath(QStringLiteral("config/workspace.json")));
        QString error;
        if (!bus->start(&error))
            qWarning("simulated bus did not start: %s", qPrintable(error));
        window = std::make_unique<mainWnd>(nullptr, setup.tickMs);
        window->worker()->setCommParam(2, setup.pauseMs);
        window->worker()->setCommParam(3, setup.replyTimeoutMs);
    }
    MainWindowFixture() : MainWindowFixture(Setup{}) {}
    ~MainWindowFixture()
    {
        window.reset();
        bus->stop();
        JournalFiles::setFolder(QString());
        AuditTrail::setDefaultFolder(QString());
        Workspace::setDefaultPath(QString());
    }

    template <class T> T *child(QObject *parent, const char *name) const
    {
        auto *found = parent->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    QPushButton *openButton() const { return child<QPushButton>(window->serialWnd, "btn_open"); }

    // Types the path into the serial dialog and clicks its button, as an operator does.
    void clickOpen(const QString &path)
    {
        auto *ports = child<QComboBox>(window->serialWnd, "combox_port");
        ports->setEditText(path);
        QTest::mouseClick(openButton(), Qt::LeftButton);
    }
    bool openPort()
    {
        window->set485();
        clickOpen(bus->portPath());
        return QTest::qWaitFor([this] { return openButton()->text() == shown("setSerialport", "已打开"); }, 5000);
    }

    // Clicks "上线" on the row of each address, as an operator does before driving a controller.
    void takeOnline(const QList<quint8> &addresses)
    {
        for (quint8 address : addresses) {
            const int row = window->foundDeviceIds().indexOf(address);
            if (row < 0)
                qFatal("no row for controller %d", int(address));
            QTest::mouseClick(child<QPushButton>(window->devicePage()->row(row), "btn_online"), Qt::LeftButton);
        }
    }

    // Returns when the worker has served everything posted to it before this call and what it
    // signalled back meanwhile has been delivered here.
    bool flushWorker()
    {
        if (!window->worker()->runOnWorker([] {}))
            return false;
        QCoreApplication::processEvents();
        return true;
    }

    BoxRecorder boxes;
    std::unique_ptr<SimBus> bus;
    std::unique_ptr<mainWnd> window;

private:
    Setup m_setup;
    QTemporaryDir m_dir;
};

// The entry of the main window's menus with this (Chinese) caption, as the operator picks it in the
// installed language.
inline QAction *menuEntry(const mainWnd &window, const QString &caption)
{
    const QString translated = shown("mainWnd", caption.toUtf8().constData());
    for (QAction *menu : window.menuBar()->actions())
        for (QAction *entry : menu->menu()->actions())
            if (entry->text() == translated)
                return entry;
    qFatal("no menu entry %s", qPrintable(caption));
    return nullptr;
}
