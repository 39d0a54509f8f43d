#include "MqttClient.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSysInfo>
#include <cerrno>
#include <cstring>
#include <mosquitto.h>

namespace {

constexpr int KeepAliveSeconds = 30;
constexpr int LoopTimeoutMs = 100;

void initLibrary()
{
    static const int once = mosquitto_lib_init();
    Q_UNUSED(once);
}

} // namespace

QByteArray MqttClient::clientId()
{
    return QStringLiteral("quorix-%1-%2")
        .arg(QSysInfo::machineHostName())
        .arg(QCoreApplication::applicationPid())
        .left(64)
        .toUtf8();
}

MqttClient::MqttClient(QObject *parent) : QObject(parent)
{
    initLibrary();
}

MqttClient::~MqttClient()
{
    stop();
}

bool MqttClient::start(const MqttSettings &settings, const QString &willTopic, const QByteArray &willPayload,
                       QString *error)
{
    stop();
    const auto fail = [&](const QString &reason) {
        if (error)
            *error = reason;
        destroyHandle();
        return false;
    };
    {
        std::lock_guard<std::mutex> lock(m_handleMutex);
        m_mosq = mosquitto_new(clientId().constData(), true, this);
    }
    if (!m_mosq)
        return fail(QString::fromLocal8Bit(strerror(errno)));
    mosquitto_threaded_set(m_mosq, true);
    mosquitto_connect_callback_set(m_mosq, &MqttClient::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttClient::onDisconnect);
    mosquitto_message_callback_set(m_mosq, &MqttClient::onMessage);
    mosquitto_publish_callback_set(m_mosq, &MqttClient::onPublish);
    if (!settings.user.isEmpty()) {
        const int rc = mosquitto_username_pw_set(m_mosq, settings.user.toUtf8().constData(),
                                                 settings.password.toUtf8().constData());
        if (rc != MOSQ_ERR_SUCCESS)
            return fail(reasonOf(rc));
    }
    if (!willTopic.isEmpty()) {
        const QByteArray topic = willTopic.toUtf8();
        const int rc = mosquitto_will_set(m_mosq, topic.constData(), willPayload.size(), willPayload.constData(), 1, true);
        if (rc != MOSQ_ERR_SUCCESS)
            return fail(reasonOf(rc));
    }
    if (!settings.caFile.isEmpty()) {
        const int rc = mosquitto_tls_set(m_mosq, settings.caFile.toLocal8Bit().constData(), nullptr, nullptr,
                                         nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return fail(QStringLiteral("CA file %1: %2").arg(settings.caFile, reasonOf(rc)));
    }
    m_stopping = false;
    m_backoffSeconds = FirstBackoffSeconds;
    m_thread = std::thread(&MqttClient::runNetwork, this, settings.host.toUtf8(), settings.port);
    return true;
}

void MqttClient::stop(const QString &topic, const QByteArray &payload, int waitMs)
{
    if (!m_thread.joinable()) {
        destroyHandle();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_waitMutex);
        m_goodbyeDue = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        m_deliveredWhileStopping.clear();
        m_stopping = true;
    }
    if (m_connected) {
        if (!topic.isEmpty())
            sayGoodbye(topic, payload);
        mosquitto_disconnect(m_mosq);
    }
    m_wake.notify_all();
    m_thread.join();
    m_connected = false;
    destroyHandle();
}

// The broker acknowledges the goodbye only after every message published before it, so waiting for
// that acknowledgement keeps the disconnect from cutting off what was still queued: a controller's
// retained "offline" would otherwise be lost and the broker's will say "offline" for the bridge alone.
void MqttClient::sayGoodbye(const QString &topic, const QByteArray &payload)
{
    int mid = 0;
    {
        std::lock_guard<std::mutex> lock(m_handleMutex);
        const QByteArray name = topic.toUtf8();
        if (!m_mosq || mosquitto_publish(m_mosq, &mid, name.constData(), payload.size(), payload.constData(), 1,
                                         true) != MOSQ_ERR_SUCCESS)
            return;
    }
    std::unique_lock<std::mutex> lock(m_waitMutex);
    m_wake.wait_until(lock, m_goodbyeDue,
                      [&] { return m_deliveredWhileStopping.count(mid) > 0 || !m_connected; });
}

void MqttClient::destroyHandle()
{
    std::lock_guard<std::mutex> lock(m_handleMutex);
    mosquitto_destroy(m_mosq);
    m_mosq = nullptr;
}

bool MqttClient::publish(const QString &topic, const QByteArray &payload, bool retained, int qos)
{
    return publish(topic.toUtf8(), payload, retained, qos);
}

bool MqttClient::publish(const QByteArray &topic, const QByteArray &payload, bool retained, int qos)
{
    if (!m_connected)
        return false;
    std::lock_guard<std::mutex> lock(m_handleMutex);
    if (!m_mosq)
        return false;
    return mosquitto_publish(m_mosq, nullptr, topic.constData(), payload.size(), payload.constData(), qos,
                             retained) == MOSQ_ERR_SUCCESS;
}

// ---- the network thread ---------------------------------------------------------------------------

void MqttClient::runNetwork(QByteArray host, int port)
{
    bool first = true;
    while (!m_stopping) {
        m_refusal.clear();
        int rc = first ? mosquitto_connect_async(m_mosq, host.constData(), port, KeepAliveSeconds)
                       : mosquitto_reconnect_async(m_mosq);
        // The host is known to the client after the first call, even when the attempt failed.
        first = first && rc == MOSQ_ERR_INVAL;
        if (rc == MOSQ_ERR_SUCCESS)
            rc = serveConnection();
        m_connected = false;
        if (m_stopping)
            break;
        postEvent({Event::Kind::Failed, m_refusal.isEmpty() ? reasonOf(rc) : m_refusal, {}, false});
        waitBackoff();
    }
}

int MqttClient::serveConnection()
{
    for (;;) {
        const int rc = mosquitto_loop(m_mosq, LoopTimeoutMs, 1);
        if (rc != MOSQ_ERR_SUCCESS)
            return rc;
        if (!m_stopping)
            continue;
        std::lock_guard<std::mutex> lock(m_waitMutex);
        if (!m_connected || std::chrono::steady_clock::now() > m_goodbyeDue)
            return MOSQ_ERR_SUCCESS;
    }
}

void MqttClient::waitBackoff()
{
    std::unique_lock<std::mutex> lock(m_waitMutex);
    m_wake.wait_for(lock, std::chrono::seconds(m_backoffSeconds), [this] { return bool(m_stopping); });
    m_backoffSeconds = qMin(2 * m_backoffSeconds, int(LastBackoffSeconds));
}

void MqttClient::postEvent(Event event)
{
    {
        std::lock_guard<std::mutex> lock(m_eventsMutex);
        m_events.push_back(std::move(event));
    }
    QMetaObject::invokeMethod(this, "deliverEvents", Qt::QueuedConnection);
}

void MqttClient::deliverEvents()
{
    std::deque<Event> events;
    {
        std::lock_guard<std::mutex> lock(m_eventsMutex);
        events.swap(m_events);
    }
    for (const Event &event : events) {
        switch (event.kind) {
        case Event::Kind::Connected:
            emit connected();
            break;
        case Event::Kind::Failed:
            emit connectionFailed(event.text);
            break;
        case Event::Kind::Message:
            emit messageReceived(event.text, event.payload, event.retained);
            break;
        }
    }
}

QString MqttClient::reasonOf(int rc) const
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(strerror(errno));
    if (rc == MOSQ_ERR_TLS)
        return QStringLiteral("TLS handshake failed");
    return QString::fromUtf8(mosquitto_strerror(rc));
}

void MqttClient::onConnect(mosquitto *mosq, void *self, int rc)
{
    auto *client = static_cast<MqttClient *>(self);
    if (rc != 0) {
        client->m_refusal = QString::fromUtf8(mosquitto_connack_string(rc));
        return;
    }
    for (const QString &pattern : qAsConst(client->m_subscriptions))
        mosquitto_subscribe(mosq, nullptr, pattern.toUtf8().constData(), 1);
    client->m_backoffSeconds = FirstBackoffSeconds;
    client->m_connected = true;
    client->postEvent({Event::Kind::Connected, {}, {}, false});
}

void MqttClient::onDisconnect(mosquitto *, void *self, int)
{
    auto *client = static_cast<MqttClient *>(self);
    client->m_connected = false;
    client->m_wake.notify_all();
}

void MqttClient::onPublish(mosquitto *, void *self, int mid)
{
    auto *client = static_cast<MqttClient *>(self);
    if (!client->m_stopping)
        return;
    {
        std::lock_guard<std::mutex> lock(client->m_waitMutex);
        client->m_deliveredWhileStopping.insert(mid);
    }
    client->m_wake.notify_all();
}

void MqttClient::onMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    static_cast<MqttClient *>(self)->postEvent(
        {Event::Kind::Message, QString::fromUtf8(message->topic),
         QByteArray(static_cast<const char *>(message->payload), message->payloadlen), message->retain});
}
