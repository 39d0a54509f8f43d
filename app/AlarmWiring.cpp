#include "AlarmWiring.h"

#include "AlarmListWindow.h"
#include "AlarmMonitor.h"
#include "DeviceLine.h"
#include "deviceWindow.h"
#include "mainWnd.h"

#include <QDebug>
#include <QLabel>
#include <QStatusBar>

AlarmWiring::AlarmWiring(mainWnd *window, AlarmMonitor *alarms) : QObject(window), m_main(window), m_alarms(alarms)
{
    m_list = new AlarmListWindow(alarms, window);
    m_list->hide();
    m_status = new QLabel(window);
    m_status->setObjectName(QStringLiteral("label_alarmStatus"));
    m_status->setStyleSheet(QStringLiteral("color: white; background-color: red; padding: 0 4px;"));
    m_status->hide();
    window->statusBar()->addPermanentWidget(m_status);
    connect(alarms, &AlarmMonitor::alarmRaised, this, [this](const AlarmRecord &record) {
        log(tr("报警"), record);
        refresh();
    });
    connect(alarms, &AlarmMonitor::alarmChanged, this, [this](const AlarmRecord &record) {
        if (!record.acknowledged.isNull() && !record.active)
            log(record.cleared.isNull() ? tr("报警已确认") : tr("报警已解除并确认"), record);
        else if (!record.active)
            log(tr("报警已解除"), record);
        else if (!record.acknowledged.isNull())
            log(tr("报警已确认"), record);
        refresh();
    });
    connect(alarms, &AlarmMonitor::zeroSent, this, [](const AlarmRecord &record) {
        qDebug().noquote() << tr("报警动作：设备%1的流量设为0（%2）").arg(record.address).arg(record.text());
    });
}

void AlarmWiring::openList()
{
    m_list->refresh();
    m_list->setWindowFlags(m_list->windowFlags() | Qt::Window);
    m_list->show();
    m_list->setWindowTitle(tr("报警记录"));
    m_list->raise();
}

void AlarmWiring::log(const QString &what, const AlarmRecord &record)
{
    qDebug().noquote() << tr("%1：%2（自 %3）").arg(what, record.text(), record.raised.toString(QStringLiteral("HH:mm:ss")));
}

void AlarmWiring::refresh()
{
    const QList<AlarmRecord> latched = m_alarms->latched();
    if (latched.isEmpty()) {
        m_status->hide();
    } else {
        const AlarmRecord &newest = latched.last();
        QString text = tr("报警：%1（自 %2）").arg(newest.text(), newest.raised.toString(QStringLiteral("HH:mm:ss")));
        if (latched.size() > 1)
            text += tr("，共%1条").arg(latched.size());
        m_status->setText(text);
        m_status->show();
    }
    markRows();
}

void AlarmWiring::markRows()
{
    const QList<AlarmRecord> latched = m_alarms->latched();
    const QList<quint8> addresses = m_main->foundDeviceIds();
    for (int k = 0; k < addresses.size(); ++k) {
        DeviceLine *row = m_main->devicePage()->row(k);
        if (!row)
            continue;
        QStringList texts;
        for (const AlarmRecord &record : latched) {
            if (record.address == addresses[k])
                texts << record.text();
        }
        row->showAlarm(texts.join(QLatin1Char('\n')));
    }
}
