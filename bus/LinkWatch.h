#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

// Watches for a lost adapter to come back: every few hundred milliseconds it tries to reopen the
// port, and stops once that succeeded. Timer driven, so the thread sleeps in between.
class LinkWatch : public QObject
{
    Q_OBJECT
public:
    static constexpr int IntervalMs = 300;

    explicit LinkWatch(std::function<bool()> tryReopen, QObject *parent = nullptr);
    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }
    bool isWatching() const { return m_timer.isActive(); }

private:
    QTimer m_timer;
    std::function<bool()> m_tryReopen;
};
