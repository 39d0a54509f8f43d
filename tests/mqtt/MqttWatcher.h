#pragma once

// A client of the test's broker, apart from the code under test: libmosquitto's own network thread
// (loop_start) and its own reconnection. Keeps every message it receives.

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <mosquitto.h>
#include <mutex>

class MqttWatcher
{
public:
    explicit MqttWatcher(int port, const QString &pattern = QStringLiteral("#")) : m_pattern(pattern.toUtf8())
    {
        mosquitto_lib_init();
        m_mosq = mosquitto_new(nullptr, true, this);
        mosquitto_reconnect_delay_set(m_mosq, 1, 1, false);
        mosquitto_connect_callback_set(m_mosq, [](mosquitto *mosq, void *self, int rc) {
            if (rc == 0)
                mosquitto_subscribe(mosq, nullptr, static_cast<MqttWatcher *>(self)->m_pattern.constData(), 1);
        });
        mosquitto_message_callback_set(m_mosq, [](mosquitto *, void *self, const mosquitto_message *message) {
            auto *watcher = static_cast<MqttWatcher *>(self);
            std::lock_guard<std::mutex> lock(watcher->m_mutex);
            watcher->m_messages.append(
                {QString::fromUtf8(message->topic),
                 QByteArray(static_cast<const char *>(message->payload), message->payloadlen)});
        });
        mosquitto_connect_async(m_mosq, "127.0.0.1", port, 30);
        mosquitto_loop_start(m_mosq);
    }
    ~MqttWatcher()
    {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, false);
        mosquitto_destroy(m_mosq);
    }

    void publish(const QString &topic, const QByteArray &payload, bool retained = false)
    {
        mosquitto_publish(m_mosq, nullptr, topic.toUtf8().constData(), payload.size(), payload.constData(), 1,
                          retained);
    }

    // Where the last message of a topic came among all received; -1 for none.
    int lastIndexOf(const QString &topic) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (int i = m_messages.size() - 1; i >= 0; --i) {
            if (m_messages[i].first == topic)
                return i;
        }
        return -1;
    }

    QList<QByteArray> payloads(const QString &topic) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        QList<QByteArray> found;
        for (const auto &message : m_messages)
            if (message.first == topic)
                found.append(message.second);
        return found;
    }
    int count(const QString &topic) const { return payloads(topic).size(); }
    QByteArray last(const QString &topic) const
    {
        const QList<QByteArray> all = payloads(topic);
        return all.isEmpty() ? QByteArray() : all.last();
    }
    QJsonObject lastJson(const QString &topic) const { return QJsonDocument::fromJson(last(topic)).object(); }
    int total() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages.size();
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.clear();
    }

private:
    QByteArray m_pattern;
    mosquitto *m_mosq = nullptr;
    mutable std::mutex m_mutex;
    QList<QPair<QString, QByteArray>> m_messages;
};
