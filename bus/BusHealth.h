#pragma once

#include "LinkExchange.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QVector>
#include <deque>
#include <mutex>
#include <vector>

// How each controller and the bus are doing: per controller the outcomes of its exchanges, its
// failed writes, its answer latencies and its last good reading; for the bus the last cycle, the
// link's losses and reopenings and whether an echoing adapter was found. The worker feeds it as
// things happen; a window reads a snapshot. Every method may be called from any thread.
class BusHealth
{
public:
    enum class State
    {
        Online,  // polled
        Dropped, // lost: declared lost by its loss window, or the adapter went away
        Offline  // known, not polled
    };

    struct Counts
    {
        int answered = 0;
        int timeouts = 0;
        int unsound = 0; // CRC, shape or address wrong
        int exceptions = 0;
        int outOfStep = 0; // late answers discarded, and the checks that the line is in step
        int writeRetries = 0;
        int writeFailures = 0; // writes given up
    };

    struct Controller
    {
        quint8 address = 0;
        State state = State::Offline;
        Counts counts;
        int latencies = 0; // answers within the latency window
        double latencyMedianMs = 0;
        double latencyP95Ms = 0;
        qint64 lastReadingWallMs = 0; // 0: no good reading yet
        // The answers within the last whole cycle, and their median latency: what the controller
        // cost the cycle now, whatever the five minutes before were like.
        int answersLastCycle = 0;
        double lastCycleMedianMs = 0;
    };

    struct Bus
    {
        double usagePercent = 0;
        qint64 cycleMs = -1; // -1: no cycle measured yet
        int periodMs = 0;
        int linkLosses = 0;
        int reopenings = 0;
        bool echoingAdapter = false;
        int tickMs = 0; // a cycle starts every tickMs, or as soon as the one before ends
        QString portName;
        int baudRate = 0;
        int replyTimeoutMs = 0;
    };

    struct Snapshot
    {
        QVector<Controller> controllers;
        Bus bus;
    };

    // Latencies older than this are left out of the median and the 95th percentile.
    static constexpr qint64 kLatencyWindowMs = 5 * 60 * 1000;

    // The worker's feed.
    void record(const LinkExchange &exchange);
    void writeFailed(quint8 address, bool givenUp);
    void readingTaken(quint8 address, qint64 wallMs);
    // The controllers of the last scan (and any other the worker polls), in order, with their state.
    void setControllers(const QVector<QPair<quint8, State>> &controllers);
    void cycleDone(double usagePercent, int periodMs);
    void setLinkSettings(const QString &portName, int baudRate, int replyTimeoutMs, int tickMs);
    // A discovery probe of an address: answered or not.
    void probed(quint8 address, bool answered);
    void portOpened(); // the operator opened the port: the counts start again
    void linkLost();
    void linkReopened();
    void setEchoingAdapter(bool found);

    // The counts and latencies start again.
    void clear();
    // Latencies are taken from the window that ends at `nowMonotonicMs` (ReadTime::monotonicMs).
    // With `everyProbedAddress`, the addresses a scan probes that are not listed follow the listed
    // controllers, as offline: the one being debugged is often one that did not answer.
    Snapshot snapshot(qint64 nowMonotonicMs, bool everyProbedAddress = false) const;

private:
    struct Latency
    {
        qint64 atMs;
        double ms;
    };
    struct Record
    {
        Counts counts;
        std::deque<Latency> latencies;
        qint64 lastReadingWallMs = 0;
        std::vector<double> cycleLatencies; // of the cycle under way
        int answersLastCycle = 0;
        double lastCycleMedianMs = 0;
    };

    void clearCounts();
    Controller row(quint8 address, State state, qint64 nowMs) const;
    static void prune(std::deque<Latency> &latencies, qint64 nowMs);
    static void fillLatencies(Controller &row, const std::deque<Latency> &latencies, qint64 nowMs);

    mutable std::mutex m_mutex;
    QMap<quint8, Record> m_records;
    QVector<QPair<quint8, State>> m_controllers;
    Bus m_bus;
};
