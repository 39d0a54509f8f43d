#pragma once

#include "MqttSettings.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

struct mosquitto;
struct mosquitto_message;

// One connection to an MQTT broker, kept up by a network thread of its own: it connects, serves
// the connection, and after a failure or loss waits 1 s, then 2, 4, ... up to 30 s between
// attempts until one succeeds. Nothing here blocks the caller's thread on the network. What
// happens on the network reaches this object's thread as signals; publish() may be called from
// any thread. While the link is down, publish() drops the message and returns false: nothing
// queues up without bound.
class MqttClient : public QObject
{
    Q_OBJECT
public:
    static constexpr int FirstBackoffSeconds = 1;
    static constexpr int LastBackoffSeconds = 30;

    explicit MqttClient(QObject *parent = nullptr);
    ~MqttClient() override;
    // The client id this program gives the broker: quorix-<host>-<process id>.
    static QByteArray clientId();
    MqttClient(const MqttClient &) = delete;
    MqttClient &operator=(const MqttClient &) = delete;

    // Starts connecting in the background. willTopic/willPayload: what the broker publishes
    // (retained) when the link dies without a goodbye. False, with the reason, for settings the
    // client refuses outright (such as an unreadable CA file).
    bool start(const MqttSettings &settings, const QString &willTopic, const QByteArray &willPayload,
               QString *error = nullptr);
    // Publishes the last words (retained) when connected, says goodbye and ends the network
    // thread, waiting at most waitMs for the goodbye to go out.
    void stop(const QString &topic = QString(), const QByteArray &payload = QByteArray(), int waitMs = 2000);
    bool isRunning() const { return m_thread.joinable(); }
    bool isConnected() const { return m_connected; }

    // Subscribed on every (re)connection; set before start().
    void setSubscriptions(const QStringList &patterns) { m_subscriptions = patterns; }

    bool publish(const QString &topic, const QByteArray &payload, bool retained, int qos = 0);
    // The topic in UTF-8 already.
    bool publish(const QByteArray &topic, const QByteArray &payload, bool retained, int qos = 0);

signals:
    void connected();
    // An attempt failed or the connection was lost; the next attempt follows after the backoff.
    void connectionFailed(QString reason);
    // retained: the broker kept it and hands it over because of a new subscription (at every
    // connection), not because someone has just sent it.
    void messageReceived(QString topic, QByteArray payload, bool retained);

private slots:
    void deliverEvents();

private:
    // What the network thread reports, handed to the owner's thread under a standard mutex (which
    // ThreadSanitizer can follow); a queued call by name then wakes the owner to deliver them.
    struct Event
    {
        enum class Kind
        {
            Connected,
            Failed,
            Message
        } kind;
        QString text; // the reason, or the topic
        QByteArray payload;
        bool retained = false;
    };
    void postEvent(Event event);

    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message);
    static void onPublish(mosquitto *, void *self, int mid);
    void sayGoodbye(const QString &topic, const QByteArray &payload);

    void runNetwork(QByteArray host, int port);
    int serveConnection();
    void waitBackoff();
    QString reasonOf(int rc) const;

    void destroyHandle();

    // Made and destroyed on the owner's thread under m_handleMutex, which publish() holds: readings
    // are published from the worker's thread.
    mosquitto *m_mosq = nullptr;
    std::mutex m_handleMutex;
    std::thread m_thread;
    QStringList m_subscriptions;
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_stopping{false};
    std::mutex m_eventsMutex;
    std::deque<Event> m_events;
    std::mutex m_waitMutex;
    std::condition_variable m_wake;
    int m_backoffSeconds = FirstBackoffSeconds;         // network thread only
    QString m_refusal;                                  // network thread only: the broker's CONNACK refusal
    std::chrono::steady_clock::time_point m_goodbyeDue; // under m_waitMutex once stopping
    std::set<int> m_deliveredWhileStopping;             // under m_waitMutex
};
