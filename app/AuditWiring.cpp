#include "AuditWiring.h"

#include "AuditTrail.h"
#include "BenchModel.h"
#include "MqttBridge.h"
#include "MqttLinkWiring.h"
#include "MqttSettingsWindow.h"
#include "ParameterBackupWindow.h"
#include "ParameterBackupWiring.h"
#include "mainWnd.h"
#include "stageControlWidget.h"

namespace {

QString restoreKey(quint8 address, const QString &name)
{
    return QStringLiteral("restore %1 %2").arg(address).arg(name);
}

QJsonValue shownValue(const std::optional<ParameterBackup::Value> &value)
{
    return value && !value->masked ? QJsonValue(value->value) : QJsonValue();
}

} // namespace

AuditWiring::AuditWiring(mainWnd &window) : QObject(&window), m_trail(window.auditTrail())
{
    followRestores(window);
    followPauses(window);
    followRemoteSetpoints(window);
}

void AuditWiring::followRestores(mainWnd &window)
{
    ParameterBackupWindow *backups = window.parameterBackup()->window();
    connect(backups, &ParameterBackupWindow::restoreAsked, this,
            [this, backups](quint8 address, int fromAddress, const QVector<ParameterBackup::Row> &rows,
                            const QString &refused) {
                const QJsonObject source = m_trail->sourceOf(
                    Driver::operatorRow(), QString(),
                    backups->administrator() ? QStringLiteral("administrator") : QStringLiteral("operator"));
                for (const ParameterBackup::Row &row : rows) {
                    const QString name = QLatin1String(row.parameter->name);
                    m_trail->request(restoreKey(address, name),
                                     {address, fromAddress == address ? QStringLiteral("restore") : QStringLiteral("clone"),
                                      shownValue(row.right), shownValue(row.left), source,
                                      QJsonObject{{QStringLiteral("parameter"), name},
                                                  {QStringLiteral("from"), fromAddress}}},
                                     refused);
                }
            });
    connect(backups, &ParameterBackupWindow::restoreEnded, this,
            [this](quint8 address, const QStringList &verified, const QStringList &failed, const QString &error) {
                for (const QString &name : verified)
                    m_trail->finish(restoreKey(address, name), QStringLiteral("confirmed"));
                for (const QString &name : failed)
                    m_trail->finish(restoreKey(address, name), QStringLiteral("given_up"),
                                    error.isEmpty() ? tr("未写入，或读回的值与写入的不同") : error);
            });
}

void AuditWiring::followPauses(mainWnd &window)
{
    BenchModel *model = window.benchModel();
    connect(window.stagePage(), &stageControlWidget::devicePasueStep, this, [this, model](int device, int type) {
        const Driver holder = model->driverOf(quint8(device));
        if (holder.kind != Driver::Programme)
            return; // no programme runs there: nothing paused
        // The programme, and the operator who pressed the button.
        QJsonObject source = m_trail->sourceOf(Driver::operatorRow());
        source.insert(QStringLiteral("driver"), QStringLiteral("programme"));
        source.insert(QStringLiteral("index"), holder.index);
        m_trail->event({quint8(device), type == 1 ? QStringLiteral("programme_pause") : QStringLiteral("programme_resume"),
                        QJsonValue(), QJsonValue(), source, QJsonObject()});
    });
}

void AuditWiring::followRemoteSetpoints(mainWnd &window)
{
    MqttLinkWiring *link = window.mqttLink();
    // Followed after the link has applied them: what the bridge holds now is the outcome.
    connect(link->settingsWindow(), &MqttSettingsWindow::applied, this,
            [this, link, allowed = link->bridge().settings().allowSetpoints](const MqttSettings &chosen) mutable {
                if (chosen.allowSetpoints == allowed)
                    return;
                const QString key = QStringLiteral("remote setpoints");
                // Only the administrator's login ticks the box; anyone may clear it.
                m_trail->request(key, {0, QStringLiteral("remote_setpoints"), allowed, chosen.allowSetpoints,
                                       m_trail->sourceOf(Driver::operatorRow(), QString(),
                                                         chosen.allowSetpoints ? QStringLiteral("administrator")
                                                                               : QStringLiteral("operator")),
                                       QJsonObject()});
                allowed = link->bridge().settings().allowSetpoints;
                m_trail->finish(key, allowed == chosen.allowSetpoints ? QStringLiteral("done")
                                                                      : QStringLiteral("given_up"));
            });
}
