#pragma once

// A named pipe for tests of code that must refuse it. Nobody holds its other end, so opening it
// blocks the opening thread. Should the code under test open it all the same, the trap lets the
// opener through once the grace time is over (it opens both ends for a moment, again and again):
// the test then fails on what the opener did with an empty pipe, rather than hanging.

#include <QFile>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class PipeTrap
{
public:
    explicit PipeTrap(const QString &path, std::chrono::milliseconds grace = std::chrono::seconds(3))
        : m_path(QFile::encodeName(path))
    {
        m_made = ::mkfifo(m_path.constData(), 0600) == 0;
        if (m_made)
            m_thread = std::thread([this, grace] { release(grace); });
    }
    ~PipeTrap()
    {
        {
            const std::lock_guard<std::mutex> hold(m_lock);
            m_stopping = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    PipeTrap(const PipeTrap &) = delete;
    PipeTrap &operator=(const PipeTrap &) = delete;

    bool made() const { return m_made; }

private:
    void release(std::chrono::milliseconds grace)
    {
        std::unique_lock<std::mutex> hold(m_lock);
        if (m_wake.wait_for(hold, grace, [this] { return m_stopping; }))
            return;
        while (!m_wake.wait_for(hold, std::chrono::milliseconds(50), [this] { return m_stopping; })) {
            // Read and write at once never blocks on Linux, and wakes an opener of either end.
            const int both = ::open(m_path.constData(), O_RDWR | O_NONBLOCK);
            if (both >= 0)
                ::close(both);
        }
    }

    QByteArray m_path;
    bool m_made = false;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};
