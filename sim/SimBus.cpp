#include "SimBus.h"

#include "SerialPort.h"
#include "SimController.h"
#include "SimFrameReader.h"
#include "SimPty.h"

#include <QFile>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <poll.h>
#include <random>
#include <set>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

// The parts SimBus::Impl holds are in a named namespace: compiled in a batch with other files, a
// class with members of an unnamed namespace's types draws GCC's -Wsubobject-linkage.
namespace SimBusParts {

// Bytes that go out on the line at a given time: one chunk of an answer, or a burst of noise.
struct Outgoing
{
    QByteArray bytes;
    bool endsAnswer = false;
    bool isNoise = false;
    bool isAdapterEcho = false; // the adapter's copy of the host's bytes: no answer of a controller
    int moveFrom = -1; // a controller that changes its bus address once this answer is out
    int moveTo = -1;
    // A read reply is logged as served once its last byte is out.
    bool servesValue = false;
    quint8 servedAddress = 0;
    quint16 servedRegister = 0;
    QByteArray servedData;
};

// The read replies one register of one controller served: in order, and counted for quick lookup.
struct ServedLog
{
    std::deque<SimBus::Served> inOrder;
    QHash<QByteArray, int> counts;

    void add(const SimBus::Served &served, int kept)
    {
        inOrder.push_back(served);
        ++counts[served.dataBytes];
        if (int(inOrder.size()) <= kept)
            return;
        auto oldest = counts.find(inOrder.front().dataBytes);
        if (--oldest.value() == 0)
            counts.erase(oldest);
        inOrder.pop_front();
    }
};

} // namespace SimBusParts

using SimBusParts::Outgoing;
using SimBusParts::ServedLog;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxKeptFrames = 100000; // a bus left running for days must not eat the memory
constexpr double kMinSilenceMs = 1.75;
// An endless stream runs at the wire rate; with no baud emulated, at about 1 MB/s, and never
// more than this much at once, so that a stalled reader costs the loop nothing.
constexpr double kStreamBytesPerMsUnpaced = 1000.0;
constexpr double kMaxStreamBurst = 4096.0;

bool isReadRequest(const QByteArray &frame)
{
    return frame.size() == 8 && quint8(frame[1]) == 0x03;
}

bool isWriteRequest(const QByteArray &frame)
{
    return frame.size() >= 8 && quint8(frame[1]) == 0x06;
}

// The exception reply of a controller that refuses the request.
SimController::Answer refusal(const QByteArray &request, quint8 code)
{
    QByteArray body;
    body.append(request[0]).append(char(quint8(request[1]) | 0x80)).append(char(code));
    return {SerialPort::appendCrc(body)};
}

QByteArray decoyReply(quint8 address)
{
    QByteArray reply;
    reply.append(char(address));
    reply.append(char(0x03));
    reply.append(char(0x04));
    return SerialPort::appendCrc(reply + float_to_bytes(SimFaults::kDecoyValue));
}

Clock::duration milliseconds(double ms)
{
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(ms));
}

} // namespace

struct SimBus::Impl
{
    enum class PlugRequest
    {
        None,
        Unplug,
        Replug
    };

    explicit Impl(const Options &opts) : options(opts), random(opts.seed) {}

    // Everything below is guarded by mutex, except what the loop thread alone touches.
    Options options;
    mutable std::mutex mutex;
    std::condition_variable requestDone;
    std::mutex plugSerialiser; // one unplug or replug at a time
    std::map<quint8, std::unique_ptr<SimController>> controllers;
    std::map<quint8, std::unique_ptr<SimController>> twins; // second controllers at one address
    std::map<quint8, SimFaults> faults;
    std::mt19937 random;
    QByteArray noiseBytes;
    int noiseIntervalMs = 0;
    Clock::time_point nextNoise;
    SimPty pty;
    QString terminalPath;
    SimFrameReader reader;
    Clock::time_point lastByteAt;
    std::multimap<Clock::time_point, Outgoing> outbox;
    bool answerInProgress = false;
    QList<QByteArray> frames;
    int answers = 0;
    int lostFrames = 0;
    std::map<quint8, FaultCounts> faultCounts;
    std::map<std::pair<quint8, quint16>, ServedLog> served;
    std::set<quint8> streaming;                        // controllers babbling since a request
    std::map<quint8, Clock::time_point> lastAnswerDue; // when each controller's last answer ends
    Clock::time_point lastStreamAt;
    double streamCredit = 0.0;
    quint8 streamPhase = 0;
    std::thread thread;
    bool running = false;
    bool stopRequested = false;
    int wakeFd = -1;
    PlugRequest plugRequest = PlugRequest::None;
    bool plugResult = false;
    QString plugError;

    void wake() const;
    void loop();
    void pollOnce(int masterFd, Clock::time_point wakeAt);
    Clock::time_point nextWake(Clock::time_point now) const;
    void servePlugRequest();
    bool openTerminal(QString *error);
    void closeTerminal();

    void readInput();
    void echoToHost(const QByteArray &bytes, Clock::time_point now);
    SimController::Answer handle(const QByteArray &request, SimController &target, Clock::time_point now);
    void flushIfSilent(Clock::time_point now);
    Clock::duration silenceGap() const;
    void receive(const SimFrameReader::Frame &frame, Clock::time_point now);
    void answer(const QByteArray &request, SimController &controller, Clock::time_point now);
    Clock::duration wireDelay(int requestBytes, int answerBytes) const;
    bool draw(double fraction);
    Clock::time_point schedule(Clock::time_point due, const QByteArray &bytes, const SimFaults &faults,
                               Outgoing last, Clock::time_point notBefore);

    void sendDue(Clock::time_point now);
    void sendNoiseIfDue(Clock::time_point now);
    void sendStream(Clock::time_point now);
    bool loseWrite(const QByteArray &request);
    static void markServed(Outgoing &last, quint8 address, const QByteArray &request, const QByteArray &reply);
    void recordServed(const Outgoing &piece, Clock::time_point now);
    void writeToLine(const QByteArray &bytes) const;
    void moveController(int from, int to);
    // Faults belong to an address: whichever controller holds it (and its twin) gets its valve's.
    void applyValveFaults(quint8 address, Clock::time_point now);
    SimController *controller(quint8 address) const;
};

// ---- the loop thread ----------------------------------------------------------------------------

void SimBus::Impl::wake() const
{
    const quint64 one = 1;
    if (wakeFd >= 0)
        (void)::write(wakeFd, &one, sizeof one);
}

void SimBus::Impl::loop()
{
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopRequested) {
        servePlugRequest();
        const Clock::time_point now = Clock::now();
        flushIfSilent(now);
        sendDue(now);
        sendNoiseIfDue(now);
        sendStream(now);
        const Clock::time_point wakeAt = nextWake(now);
        const int masterFd = pty.masterFd();
        lock.unlock();
        pollOnce(masterFd, wakeAt);
        lock.lock();
        if (pty.isOpen())
            readInput();
    }
}

// Sleeps, without the lock, until input arrives, a request wakes the thread, or wakeAt.
void SimBus::Impl::pollOnce(int masterFd, Clock::time_point wakeAt)
{
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {masterFd, POLLIN, 0}};
    const auto wait = std::max(Clock::duration::zero(), wakeAt - Clock::now());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    const timespec timeout{
        time_t(seconds.count()),
        long(std::chrono::duration_cast<std::chrono::nanoseconds>(wait - seconds).count())};
    if (::ppoll(fds, 2, &timeout, nullptr) > 0 && (fds[0].revents & POLLIN)) {
        quint64 count = 0;
        (void)::read(wakeFd, &count, sizeof count);
    }
}

Clock::time_point SimBus::Impl::nextWake(Clock::time_point now) const
{
    Clock::time_point wakeAt = now + std::chrono::seconds(1);
    if (!outbox.empty())
        wakeAt = std::min(wakeAt, outbox.begin()->first);
    if (reader.hasPending())
        wakeAt = std::min(wakeAt, lastByteAt + silenceGap());
    if (noiseIntervalMs > 0 && !answerInProgress && pty.isOpen())
        wakeAt = std::min(wakeAt, nextNoise);
    if (!streaming.empty() && pty.isOpen())
        wakeAt = std::min(wakeAt, now + std::chrono::milliseconds(1));
    return wakeAt;
}

void SimBus::Impl::servePlugRequest()
{
    if (plugRequest == PlugRequest::None)
        return;
    if (plugRequest == PlugRequest::Unplug) {
        closeTerminal();
        // A pulled adapter takes its device link with it; left dangling, the link would lead to
        // whatever terminal the system hands out next under the same number.
        if (!options.linkPath.isEmpty())
            ::unlink(QFile::encodeName(options.linkPath).constData());
        plugResult = true;
    } else {
        plugResult = openTerminal(&plugError);
    }
    plugRequest = PlugRequest::None;
    requestDone.notify_all();
}

bool SimBus::Impl::openTerminal(QString *error)
{
    closeTerminal();
    if (!pty.open(error))
        return false;
    terminalPath = pty.slavePath();
    if (!options.linkPath.isEmpty() && !pty.updateLink(options.linkPath, error)) {
        pty.close();
        return false;
    }
    return true;
}

void SimBus::Impl::closeTerminal()
{
    pty.close();
    outbox.clear();
    answerInProgress = false;
    reader.flushOnSilence();
    streaming.clear();
    lastAnswerDue.clear();
}

// ---- receiving ----------------------------------------------------------------------------------

void SimBus::Impl::readInput()
{
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(pty.masterFd(), buffer, sizeof buffer);
        if (count <= 0)
            return; // EAGAIN: all read; errors show up again on the next poll
        const Clock::time_point now = Clock::now();
        // Bytes after a silence start a new frame, even when they arrive in the same poll round.
        flushIfSilent(now);
        lastByteAt = now;
        echoToHost(QByteArray(buffer, int(count)), now);
        for (const SimFrameReader::Frame &frame : reader.feed(QByteArray(buffer, int(count))))
            receive(frame, now);
    }
}

// An echoing adapter hands each byte back once it is on the wire; with no baud emulated, at once.
// Queued ahead of any answer to these bytes, which is due later or, with no baud, at the same time.
void SimBus::Impl::echoToHost(const QByteArray &bytes, Clock::time_point now)
{
    if (!options.adapterEchoes)
        return;
    Outgoing copy;
    copy.bytes = bytes;
    copy.isAdapterEcho = true;
    const double wireMs = options.baud > 0 ? bytes.size() * 10.0 * 1000.0 / options.baud : 0.0;
    outbox.emplace(now + milliseconds(wireMs), copy);
}

void SimBus::Impl::flushIfSilent(Clock::time_point now)
{
    if (reader.hasPending() && now - lastByteAt >= silenceGap())
        receive(reader.flushOnSilence(), now);
}

Clock::duration SimBus::Impl::silenceGap() const
{
    const double charactersMs = options.baud > 0 ? 3.5 * 10.0 * 1000.0 / options.baud : 0.0;
    return milliseconds(std::max(kMinSilenceMs, charactersMs));
}

void SimBus::Impl::receive(const SimFrameReader::Frame &frame, Clock::time_point now)
{
    if (frame.sound && loseWrite(frame.bytes))
        return;
    if (frames.size() >= kMaxKeptFrames)
        frames.removeFirst();
    frames.append(frame.bytes);
    if (!frame.sound)
        return; // a bad CRC or a torn frame: a real device keeps quiet
    SimController *target = controller(quint8(frame.bytes[0]));
    if (!target)
        return;
    SimFaults &fault = faults[target->address()];
    FaultCounts &counts = faultCounts[target->address()];
    ++counts.heard;
    if (fault.silent) {
        ++counts.unanswered;
        return;
    }
    if (fault.unansweredRequests > 0) {
        --fault.unansweredRequests;
        ++counts.unanswered;
        return;
    }
    if (fault.endlessStream) {
        if (streaming.empty()) {
            lastStreamAt = now;
            streamCredit = 0.0;
        }
        streaming.insert(target->address());
        return;
    }
    answer(frame.bytes, *target, now);
}

bool SimBus::Impl::loseWrite(const QByteArray &request)
{
    if (!isWriteRequest(request) || !controller(quint8(request[0])))
        return false;
    SimFaults &fault = faults[quint8(request[0])];
    if (fault.lostWrites <= 0)
        return false;
    --fault.lostWrites;
    ++lostFrames;
    return true;
}

void SimBus::Impl::answer(const QByteArray &request, SimController &target, Clock::time_point now)
{
    const quint8 address = target.address();
    const SimFaults &fault = faults[address];
    const SimController::Answer reply = fault.exceptionCode > 0
                                            ? refusal(request, quint8(fault.exceptionCode))
                                            : handle(request, target, now);
    if (reply.reply.isEmpty())
        return;
    Outgoing last;
    last.endsAnswer = true;
    if (reply.newAddress >= 0) {
        last.moveFrom = address;
        last.moveTo = reply.newAddress;
    }
    FaultCounts &counts = faultCounts[address];
    if (draw(fault.dropFraction)) {
        // The controller did its work; only the answer got lost on the way.
        moveController(last.moveFrom, last.moveTo);
        ++counts.dropped;
        return;
    }
    ++counts.answered;
    QByteArray bytes = reply.reply;
    if (draw(fault.corruptFraction)) {
        ++counts.corrupted;
        bytes[bytes.size() - 2] = char(bytes[bytes.size() - 2] ^ 0xFF);
        bytes[bytes.size() - 1] = char(bytes[bytes.size() - 1] ^ 0xFF);
    }
    if (fault.cutAfterBytes > 0 && fault.cutAfterBytes < bytes.size())
        bytes.truncate(fault.cutAfterBytes); // broken off: it serves no value
    else
        markServed(last, address, request, reply.reply);
    if (fault.soundFrameBeforeAnswer)
        bytes.prepend(decoyReply(address));
    bytes.prepend(fault.strayBefore);
    bytes += fault.extraBytes;
    const bool lateHere =
        fault.lateRegister == 0 || (isReadRequest(request) && bigEndian16(request, 2) == fault.lateRegister);
    const Clock::time_point due = now + wireDelay(request.size(), bytes.size()) +
                                  std::chrono::milliseconds(lateHere ? fault.lateMs : 0);
    lastAnswerDue[address] = schedule(due, bytes, fault, last, lastAnswerDue[address]);
}

// The controller's answer, run into its twin's when a second controller holds the address.
SimController::Answer SimBus::Impl::handle(const QByteArray &request, SimController &target,
                                           Clock::time_point now)
{
    const auto taken = [this](quint8 other) { return controllers.count(other) > 0; };
    SimController::Answer reply = target.handle(request, now, taken);
    const quint8 address = target.address();
    if (!faults[address].twin)
        return reply;
    std::unique_ptr<SimController> &twin = twins[address];
    if (!twin) {
        twin = std::make_unique<SimController>(address, options.seed ^ 0x9E3779B9u, now);
        applyValveFaults(address, now);
    }
    reply.reply = SimBus::collide(reply.reply, twin->handle(request, now, taken).reply);
    return reply;
}

void SimBus::Impl::markServed(Outgoing &last, quint8 address, const QByteArray &request,
                              const QByteArray &reply)
{
    if (!isReadRequest(request) || reply.size() < 5 || quint8(reply[1]) != 0x03)
        return; // an exception reply serves no value
    last.servesValue = true;
    last.servedAddress = address;
    last.servedRegister = bigEndian16(request, 2);
    last.servedData = reply.mid(3, quint8(reply[2]));
}

void SimBus::Impl::recordServed(const Outgoing &piece, Clock::time_point now)
{
    const qint64 servedNs = std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
    served[{piece.servedAddress, piece.servedRegister}].add({piece.servedData, servedNs},
                                                           std::max(1, options.servedValuesKept));
}

// What a real line costs: the request and the answer each take 10 bits per byte on the wire, and
// the device takes its turnaround time before answering. The pseudo-terminal delivers instantly,
// so the whole cost is paid before the answer is handed over.
Clock::duration SimBus::Impl::wireDelay(int requestBytes, int answerBytes) const
{
    if (options.baud <= 0)
        return Clock::duration::zero();
    const double wireMs = (requestBytes + answerBytes) * 10.0 * 1000.0 / options.baud;
    return milliseconds(wireMs + options.turnaroundMs);
}

bool SimBus::Impl::draw(double fraction)
{
    if (fraction <= 0.0)
        return false; // no draw at all, so that other faults replay alike
    return std::uniform_real_distribution<double>(0.0, 1.0)(random) < fraction;
}

// A controller answers its requests in the order it heard them: an answer waits for the controller's
// earlier (late or chunked) answer to be out, and goes out right behind it.
Clock::time_point SimBus::Impl::schedule(Clock::time_point due, const QByteArray &bytes,
                                         const SimFaults &fault, Outgoing last, Clock::time_point notBefore)
{
    due = std::max(due, notBefore);
    const int chunk = fault.chunkSize > 0 ? fault.chunkSize : bytes.size();
    for (int start = 0; start < bytes.size(); start += chunk) {
        if (start > 0)
            due += std::chrono::milliseconds(fault.chunkGapMs);
        const bool final = start + chunk >= bytes.size();
        Outgoing piece = final ? last : Outgoing{};
        piece.bytes = bytes.mid(start, chunk);
        outbox.emplace(due, piece);
    }
    return due;
}

// ---- sending ------------------------------------------------------------------------------------

void SimBus::Impl::sendDue(Clock::time_point now)
{
    while (!outbox.empty() && outbox.begin()->first <= now) {
        const Outgoing piece = outbox.begin()->second;
        outbox.erase(outbox.begin());
        // Taken before the write: the reader may have the bytes before the write call returns.
        const Clock::time_point sentAt = Clock::now();
        writeToLine(piece.bytes);
        if (piece.isAdapterEcho)
            continue;
        answerInProgress = !piece.endsAnswer;
        if (piece.endsAnswer) {
            ++answers;
            moveController(piece.moveFrom, piece.moveTo);
        }
        if (piece.servesValue)
            recordServed(piece, sentAt);
    }
}

void SimBus::Impl::sendNoiseIfDue(Clock::time_point now)
{
    if (noiseIntervalMs <= 0 || noiseBytes.isEmpty() || answerInProgress || !pty.isOpen() || now < nextNoise)
        return;
    writeToLine(noiseBytes);
    nextNoise = now + std::chrono::milliseconds(noiseIntervalMs);
}

// A babbling controller: the line never falls silent. Paced by the wire rate and written without
// blocking, so the loop goes on serving requests and a reader that stops reading only loses bytes.
void SimBus::Impl::sendStream(Clock::time_point now)
{
    if (streaming.empty() || !pty.isOpen())
        return;
    const double elapsedMs = std::chrono::duration<double, std::milli>(now - lastStreamAt).count();
    lastStreamAt = now;
    const double bytesPerMs = options.baud > 0 ? options.baud / 10000.0 : kStreamBytesPerMsUnpaced;
    streamCredit = std::min(kMaxStreamBurst, streamCredit + elapsedMs * bytesPerMs);
    const int count = int(streamCredit);
    if (count <= 0)
        return;
    streamCredit -= count;
    // 0xFF and 0x00 by turns: no controller has either address, so no sound frame ever forms.
    QByteArray bytes(count, '\0');
    for (int i = 0; i < count; ++i, ++streamPhase)
        bytes[i] = char(streamPhase % 2 ? 0x00 : 0xFF);
    writeToLine(bytes);
}

void SimBus::Impl::writeToLine(const QByteArray &bytes) const
{
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0 && pty.isOpen()) {
        const ssize_t written = ::write(pty.masterFd(), data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return; // the line is full because nobody reads it: the rest is lost, as on a real line
        data += written;
        left -= written;
    }
}

void SimBus::Impl::moveController(int from, int to)
{
    if (from < 0 || to < 0 || from == to)
        return;
    auto found = controllers.find(quint8(from));
    if (found == controllers.end() || controllers.count(quint8(to)))
        return;
    std::unique_ptr<SimController> moved = std::move(found->second);
    controllers.erase(found);
    moved->setAddress(quint8(to));
    controllers[quint8(to)] = std::move(moved);
    applyValveFaults(quint8(to), Clock::now());
}

void SimBus::Impl::applyValveFaults(quint8 address, Clock::time_point now)
{
    const auto found = faults.find(address);
    const SimFaults valve = found == faults.end() ? SimFaults{} : found->second;
    for (auto *held : {&controllers, &twins}) {
        const auto controller = held->find(address);
        if (controller != held->end() && controller->second)
            controller->second->setValveResponse(valve.lagSeconds, valve.stuck, now);
    }
}

SimController *SimBus::Impl::controller(quint8 address) const
{
    const auto found = controllers.find(address);
    return found == controllers.end() ? nullptr : found->second.get();
}

// ---- public interface ---------------------------------------------------------------------------

SimBus::SimBus(const Options &options) : d(std::make_unique<Impl>(options))
{
    for (quint8 address : options.addresses)
        addController(address);
}

SimBus::~SimBus()
{
    stop();
}

bool SimBus::start(QString *error)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (d->running)
        return true;
    if (!d->openTerminal(error))
        return false;
    d->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (d->wakeFd < 0) {
        if (error)
            *error = QStringLiteral("eventfd failed");
        d->closeTerminal();
        return false;
    }
    d->stopRequested = false;
    d->running = true;
    d->nextNoise = Clock::now() + std::chrono::milliseconds(d->noiseIntervalMs);
    d->thread = std::thread([this] { d->loop(); });
    return true;
}

void SimBus::stop()
{
    std::thread finished;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (!d->running)
            return;
        d->stopRequested = true;
        d->wake();
        finished = std::move(d->thread);
    }
    finished.join();
    std::lock_guard<std::mutex> lock(d->mutex);
    d->closeTerminal();
    SimPty::removeLink(d->options.linkPath);
    ::close(d->wakeFd);
    d->wakeFd = -1;
    d->running = false;
    d->requestDone.notify_all();
}

bool SimBus::isRunning() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->running;
}

QString SimBus::portPath() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->options.linkPath.isEmpty() ? d->terminalPath : d->options.linkPath;
}

QString SimBus::terminalPath() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->terminalPath;
}

void SimBus::setFaults(quint8 address, const SimFaults &faults)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->faults[address] = faults;
    if (!faults.endlessStream)
        d->streaming.erase(address);
    d->applyValveFaults(address, Clock::now());
}

SimFaults SimBus::faults(quint8 address) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const auto found = d->faults.find(address);
    return found == d->faults.end() ? SimFaults{} : found->second;
}

void SimBus::clearFaults()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->faults.clear();
    d->streaming.clear();
    for (const auto &held : d->controllers)
        d->applyValveFaults(held.first, Clock::now());
    d->noiseBytes.clear();
    d->noiseIntervalMs = 0;
}

void SimBus::setAdapterEchoes(bool echoes)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->options.adapterEchoes = echoes;
}

void SimBus::setNoise(const QByteArray &bytes, int intervalMs)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->noiseBytes = bytes;
    d->noiseIntervalMs = std::max(0, intervalMs);
    d->nextNoise = Clock::now() + std::chrono::milliseconds(d->noiseIntervalMs);
    d->wake();
}

void SimBus::putOnLine(const QByteArray &bytes)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->writeToLine(bytes);
    d->pty.waitUntilReadable(1000);
}

void SimBus::unplug()
{
    std::lock_guard<std::mutex> serial(d->plugSerialiser);
    std::unique_lock<std::mutex> lock(d->mutex);
    if (!d->running) {
        d->closeTerminal();
        return;
    }
    // The loop thread closes the terminal itself, so that it never polls a closed descriptor.
    d->plugRequest = Impl::PlugRequest::Unplug;
    d->wake();
    d->requestDone.wait(lock, [this] { return d->plugRequest == Impl::PlugRequest::None || !d->running; });
}

bool SimBus::replug(QString *error)
{
    std::lock_guard<std::mutex> serial(d->plugSerialiser);
    std::unique_lock<std::mutex> lock(d->mutex);
    if (!d->running) {
        if (error)
            *error = QStringLiteral("the bus is not running");
        return false;
    }
    d->plugRequest = Impl::PlugRequest::Replug;
    d->plugError.clear();
    d->wake();
    d->requestDone.wait(lock, [this] { return d->plugRequest == Impl::PlugRequest::None || !d->running; });
    if (!d->plugResult && error)
        *error = d->plugError;
    return d->plugResult && d->running;
}

void SimBus::addController(quint8 address)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (!d->controllers.count(address))
    {
        d->controllers[address] = std::make_unique<SimController>(address, d->options.seed, Clock::now());
        d->applyValveFaults(address, Clock::now());
    }
}

void SimBus::removeController(quint8 address)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->controllers.erase(address);
}

QList<quint8> SimBus::addresses() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    QList<quint8> result;
    for (const auto &entry : d->controllers)
        result.append(entry.first);
    return result;
}

bool SimBus::hasRegister(quint8 address, quint16 reg) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->controller(address) && SimController::holdsRegister(reg);
}

float SimBus::floatRegister(quint8 address, quint16 reg) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    SimController *target = d->controller(address);
    return target ? target->floatRegister(reg, Clock::now()) : 0.0f;
}

int SimBus::intRegister(quint8 address, quint16 reg) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    SimController *target = d->controller(address);
    return target ? target->intRegister(reg, Clock::now()) : 0;
}

void SimBus::setFloatRegister(quint8 address, quint16 reg, float value)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    if (SimController *target = d->controller(address))
        target->setFloatRegister(reg, value, Clock::now());
}

void SimBus::setIntRegister(quint8 address, quint16 reg, int value)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    SimController *target = d->controller(address);
    if (!target)
        return;
    if (reg == SimRegister::DeviceAddress) {
        if (value >= 1 && value <= 247)
            d->moveController(address, value);
        return;
    }
    target->setIntRegister(reg, value, Clock::now());
}

QList<QByteArray> SimBus::receivedFrames() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->frames;
}

QList<QByteArray> SimBus::takeReceivedFrames()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    QList<QByteArray> taken;
    taken.swap(d->frames);
    return taken;
}

void SimBus::clearReceivedFrames()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->frames.clear();
}

int SimBus::answersSent() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->answers;
}

SimBus::FaultCounts SimBus::faultCounts(quint8 address) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const auto found = d->faultCounts.find(address);
    return found == d->faultCounts.end() ? FaultCounts() : found->second;
}

void SimBus::clearFaultCounts()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->faultCounts.clear();
}

int SimBus::lostFrameCount() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->lostFrames;
}

QList<QByteArray> SimBus::servedValues(quint8 address, quint16 reg) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const auto found = d->served.find({address, reg});
    if (found == d->served.end())
        return {};
    QList<QByteArray> values;
    values.reserve(int(found->second.inOrder.size()));
    for (const Served &value : found->second.inOrder)
        values.append(value.dataBytes);
    return values;
}

QByteArray SimBus::collide(const QByteArray &first, const QByteArray &second)
{
    QByteArray line = first.size() >= second.size() ? first : second;
    for (int i = 0; i < qMin(first.size(), second.size()); ++i)
        line[i] = char(quint8(first[i]) & quint8(second[i]));
    if (first != second && SerialPort::hasValidCrc(line))
        line[line.size() - 1] = char(~quint8(line[line.size() - 1]));
    return line;
}

QList<SimBus::Served> SimBus::servedWithTimes(quint8 address, quint16 reg) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const auto found = d->served.find({address, reg});
    if (found == d->served.end())
        return {};
    return QList<Served>(found->second.inOrder.begin(), found->second.inOrder.end());
}

bool SimBus::hasServed(quint8 address, quint16 reg, const QByteArray &dataBytes) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    const auto found = d->served.find({address, reg});
    return found != d->served.end() && found->second.counts.contains(dataBytes);
}

void SimBus::clearServedValues()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->served.clear();
}
