// SPDX-License-Identifier: Apache-2.0
// A whole search against linkvane-devsim on loopback, measured side by side for
// three receivers in one run: a plain POSIX receiver that only counts datagrams
// (bench_plain_receiver, what the machine can do), linkvane-cli and the real main window driven
// offscreen. Each receiver runs as its own process, so its CPU time and resident
// memory are its own; the kernel's count of datagrams dropped for a full receive
// buffer is read before and after each. Also measured: the CPU share of the
// main window's waits and its start-up time to the first paint.
//
// Linux only: it reads /proc and spawns processes with POSIX calls. Every run is
// bounded; every child is ended at its deadline.

#include "bulkchange.h"
#include "catalogue.h"
#include "exchanges.h"
#include "loaders.h"
#include "macchangeexchange.h"
#include "mainwindow.h"
#include "secretmask.h"
#include "udpsocket.h"
#include "updateplan.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <queue>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr const char* kLoopbackBroadcast = "127.255.255.255";

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

void printJson(const QJsonObject& object)
{
    const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Compact);
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Runs the event loop, as the application's own does, until `done` holds or
// `timeoutMs` passed. `done` is tested whenever recheck() is called (from the
// signals that can change it) and at the start.
QEventLoop* g_wait = nullptr;
const std::function<bool()>* g_done = nullptr;

void recheck()
{
    if (g_wait && g_done && (*g_done)())
        g_wait->quit();
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs);
    g_wait = &loop;
    g_done = &done;
    loop.exec();
    g_wait = nullptr;
    g_done = nullptr;
    return done();
}

// Lets events run for `ms` milliseconds.
void runFor(int ms)
{
    waitUntil([] { return false; }, ms);
}

// The peak resident memory of a process (VmHWM), in MB; 0 when unknown. Read
// from the process itself, because the rusage of a spawned child also counts
// the parent's memory at the moment of the spawn.
double peakResidentMb(const QString& pid = QStringLiteral("self"))
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    // Files in /proc have no size: read them whole rather than to an end.
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// ---- the kernel's count of dropped datagrams ------------------------------------------------------

long long rcvbufErrors()
{
    QFile file(QStringLiteral("/proc/net/snmp"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    QList<QByteArray> header;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QByteArray line = raw.trimmed();
        if (!line.startsWith("Udp: "))
            continue;
        const QList<QByteArray> fields = line.split(' ');
        if (header.isEmpty()) {
            header = fields;
            continue;
        }
        const int at = static_cast<int>(header.indexOf("RcvbufErrors"));
        return at > 0 && at < fields.size() ? fields[at].toLongLong() : -1;
    }
    return -1;
}

// ---- child: the main window -----------------------------------------------------------------------

// The longest gap between the ticks of a 1 ms timer: how long the event loop
// was kept from running.
class StallMeter {
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            const qint64 now = monotonicNs();
            const double cpu = processCpuSeconds();
            if (now - m_last > m_longest) {
                m_longest = now - m_last;
                m_longestCpu = cpu - m_lastCpu;
            }
            m_last = now;
            m_lastCpu = cpu;
        });
    }
    void start()
    {
        m_longest = 0;
        m_longestCpu = 0;
        m_last = monotonicNs();
        m_lastCpu = processCpuSeconds();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    double longestMs() const { return ms(m_longest); }
    // The process's own CPU time within that gap: the rest went to other processes.
    double longestCpuMs() const { return m_longestCpu * 1000; }

private:
    QTimer m_timer;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    double m_lastCpu = 0;
    double m_longestCpu = 0;
};

class FirstPaint final : public QObject {
public:
    qint64 atNs = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && atNs == 0) {
            atNs = monotonicNs();
            QTimer::singleShot(0, [] { recheck(); });
        }
        return QObject::eventFilter(watched, event);
    }
};

struct Gui {
    lv::SessionState state;
    std::unique_ptr<lv::MainWindow> window;
    QListView* lstDev = nullptr;
    double startupMs = 0;

    explicit Gui(quint16 port, qint64 spawnedNs)
    {
        state.broadcast = QHostAddress(QString::fromLatin1(kLoopbackBroadcast));
        state.gCmdPort = port;
        window = std::make_unique<lv::MainWindow>(state);
        FirstPaint paint;
        window->installEventFilter(&paint);
        window->show();
        waitUntil([&] { return paint.atNs != 0; }, 10000);
        window->removeEventFilter(&paint);
        startupMs = ms(paint.atNs - spawnedNs);
        lstDev = window->findChild<QListView*>(QStringLiteral("lstDev"));
    }
    void search() { window->findChild<QPushButton*>(QStringLiteral("cmdSearch"))->click(); }
};

int runGui(quint16 port, int expect, int deadlineMs, qint64 spawnedNs, bool meterStalls)
{
    Gui gui(port, spawnedNs);
    QAbstractItemModel* model = gui.lstDev->model();
    QScrollBar* bar = gui.lstDev->verticalScrollBar();

    int answers = 0;
    qint64 lastAnswerNs = 0;
    qint64 listedNs = 0;
    qint64 laidOutNs = 0;
    int insertions = 0;
    qint64 probeNs = 0;
    QObject::connect(&gui.window->search().socket(), &lv::UdpSocket::dataArrival, model, [&] {
        ++answers;
        lastAnswerNs = monotonicNs();
    });
    QObject::connect(model, &QAbstractItemModel::rowsInserted, model, [&] {
        listedNs = monotonicNs();
        ++insertions;
    });
    // With per-item scrolling the bar's range covers every line once the last
    // batch of the layout is done.
    QObject::connect(bar, &QScrollBar::rangeChanged, model, [&](int, int max) {
        if (model->rowCount() > 0 && max + bar->pageStep() >= model->rowCount()) {
            laidOutNs = monotonicNs();
            recheck();
        }
    });

    StallMeter stalls;
    const double cpu0 = processCpuSeconds();
    probeNs = monotonicNs();
    if (meterStalls)
        stalls.start();
    gui.search();
    waitUntil([&] { return model->rowCount() >= expect && laidOutNs >= listedNs; }, deadlineMs);
    stalls.stop();
    const double cpu1 = processCpuSeconds();
    printJson({{QStringLiteral("received"), answers},
               {QStringLiteral("listed"), model->rowCount()},
               {QStringLiteral("insertions"), insertions},
               {QStringLiteral("lastAnswerMs"), ms(lastAnswerNs - probeNs)},
               {QStringLiteral("listedAfterLastAnswerMs"), ms(listedNs - lastAnswerNs)},
               {QStringLiteral("laidOutAfterLastAnswerMs"), laidOutNs ? ms(laidOutNs - lastAnswerNs) : -1.0},
               {QStringLiteral("longestStallMs"), meterStalls ? QJsonValue(stalls.longestMs()) : QJsonValue()},
               {QStringLiteral("longestStallCpuMs"), meterStalls ? QJsonValue(stalls.longestCpuMs()) : QJsonValue()},
               {QStringLiteral("searchCpuS"), cpu1 - cpu0},
               {QStringLiteral("startupMs"), gui.startupMs},
               {QStringLiteral("peakRssMb"), peakResidentMb()},
               {QStringLiteral("receiveBufferBytes"), gui.window->search().socket().receiveBufferSize()}});
    return 0;
}

// The floor the protocol itself sets for a run: each device changed waits its window's delay between its
// set command and its Updates, `parallel` at once, each free slot taking the next device in plan order.
int protocolFloorMs(const lv::FleetRun& previewed, int parallel)
{
    std::priority_queue<int, std::vector<int>, std::greater<>> freeAt;
    for (int i = 0; i < parallel; ++i)
        freeAt.push(0);
    int end = 0;
    for (const lv::DeviceOutcome* o : previewed.byPlan()) {
        if (o->result() != lv::FleetResult::WouldUpdate || !o->plan())
            continue;
        const int ends = freeAt.top() + o->plan()->delayMs;
        freeAt.pop();
        freeAt.push(ends);
        end = std::max(end, ends);
    }
    return end;
}

// The window's change of every listed device at once (as its Devices menu makes it: the preview, then
// the run, `parallel` at once), with the event loop's longest stall.
int runBulk(quint16 port, int expect, int parallel)
{
    Gui gui(port, monotonicNs());
    gui.search();
    if (!waitUntil([&] { return gui.lstDev->model()->rowCount() >= expect; }, 10000))
        return 1;
    lv::PlanEntry entry;
    entry.device = QStringLiteral("every device");
    entry.selection = lv::DeviceSelection{};
    entry.set = {{QStringLiteral("deviceId"), QStringLiteral("Bulk-{n:03}"), true}};
    lv::Plan plan;
    plan.entries.push_back(entry);
    lv::SecretMask mask;
    const lv::BulkSettings settings{.parallel = parallel};
    lv::BulkChange change(gui.state, mask, lv::foundDevices(gui.window->search()), plan, settings);
    qint64 previewedNs = 0;
    int floorMs = 0;
    bool done = false;
    QObject::connect(&change, &lv::BulkChange::previewReady, &change, [&] {
        previewedNs = monotonicNs();
        floorMs = protocolFloorMs(change.previewed(), parallel);
        change.apply(settings);
    });
    QObject::connect(&change, &lv::BulkChange::ranFinished, &change, [&] {
        done = true;
        recheck();
    });
    StallMeter stalls;
    const qint64 t0 = monotonicNs();
    stalls.start();
    if (change.preview())
        return 1;
    waitUntil([&] { return done; }, 120000);
    stalls.stop();
    const qint64 t1 = monotonicNs();
    printJson({{QStringLiteral("devices"), expect},
               {QStringLiteral("parallel"), parallel},
               {QStringLiteral("updated"), change.counts().of(lv::FleetResult::Updated)},
               {QStringLiteral("previewMs"), ms(previewedNs - t0)},
               {QStringLiteral("runMs"), ms(t1 - previewedNs)},
               {QStringLiteral("wholeMs"), ms(t1 - t0)},
               {QStringLiteral("floorMs"), floorMs},
               {QStringLiteral("wholeOverFloor"), floorMs > 0 ? ms(t1 - t0) / floorMs : 0.0},
               {QStringLiteral("longestStallMs"), stalls.longestMs()}});
    return done ? 0 : 1;
}

// CPU seconds per second of wall time while `wait` runs.
double cpuShare(const std::function<void()>& wait, double* wallMs)
{
    const double cpu0 = processCpuSeconds();
    const qint64 t0 = monotonicNs();
    wait();
    const qint64 t1 = monotonicNs();
    *wallMs = ms(t1 - t0);
    return (processCpuSeconds() - cpu0) / (double(t1 - t0) / 1e9);
}

// The waits of the main window on the default LAN, whose first device is silent.
int runWaits(quint16 port, const QString& silentMac, qint64 spawnedNs)
{
    Gui gui(port, spawnedNs);
    QAbstractItemModel* model = gui.lstDev->model();
    QJsonObject out{{QStringLiteral("startupMs"), gui.startupMs}};

    double wall = 0;
    const double idle = cpuShare([] { runFor(1000); }, &wall);
    out[QStringLiteral("idleCpuShare")] = idle;

    gui.search();
    runFor(1000); // the default LAN answers at once
    int silentRow = -1;
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->index(row, 1).data().toString().startsWith(QStringLiteral("AX ") + silentMac + QLatin1Char('/')))
            silentRow = row;
    if (silentRow >= 0) {
        gui.lstDev->setCurrentIndex(model->index(silentRow, 0));
        const double share = cpuShare([&] { gui.window->lstDev_DblClick(); }, &wall);
        out[QStringLiteral("silentRequestCpuShare")] = share;
        out[QStringLiteral("silentRequestMs")] = wall;
    }
    // The MAC change to the silent device: the command, then its wait runs to the time-out.
    if (silentRow >= 0) {
        lv::CommandChannel channel(gui.state);
        lv::MacChangeExchange exchange(channel, *gui.window->search().deviceAt(silentRow), "0.80.194.9.9.9", "bench");
        lv::MacChangeResult result;
        const double share = cpuShare([&] { result = lv::runExchange(exchange); }, &wall);
        out[QStringLiteral("macChangeCpuShare")] = share;
        out[QStringLiteral("macChangeMs")] = wall;
        out[QStringLiteral("macChangeSent")] = result.sent();
        out[QStringLiteral("macChangeReplied")] = result.replied();
    }
    // Update as the single-port windows run it: the set command, the delay, five
    // "U " commands and the wait for the device's answer.
    for (int row = 0; row < model->rowCount(); ++row) {
        if (row == silentRow)
            continue;
        const lv::DeviceRef device = *gui.window->search().deviceAt(row);
        lv::ConfigRequest asked(gui.window->channel(), device, "");
        const lv::ConfigRequestResult request = lv::runExchange(asked);
        const lv::WindowDef* window = request.valid() ? lv::findWindow(request.dispatch.window) : nullptr;
        if (!window || window->name != "frmSetup")
            continue;
        const lv::LoadResult load = lv::loadSinglePort(*window, request.reply);
        const lv::UpdatePlan plan = lv::planUpdate(*window, load.loaded, {{"txtDeviceID", "BENCH01"}});
        bool answered = false;
        lv::UpdateExchange update(gui.window->channel(), device, plan);
        const double share = cpuShare([&] { answered = lv::runExchange(update).answered(); }, &wall);
        out[QStringLiteral("updateCpuShare")] = share;
        out[QStringLiteral("updateMs")] = wall;
        out[QStringLiteral("updateDelayMs")] = plan.delayMs;
        out[QStringLiteral("updateAnswered")] = answered;
        break;
    }
    printJson(out);
    return 0;
}

// ---- the parent: processes and their costs ------------------------------------------------------

struct Finished {
    QByteArray out;
    double cpuS = 0;
    double sampledPeakRssMb = 0; // VmHWM read while the child ran, every few ms
    bool killed = false;
};

pid_t spawn(const std::vector<std::string>& args, int* outFd)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    *outFd = pipeFds[0];
    return pid;
}

// Reads the child's output until it ends, ending the child at the deadline.
Finished finish(pid_t pid, int outFd, int deadlineMs)
{
    Finished f;
    const qint64 start = monotonicNs();
    char buffer[65536];
    for (;;) {
        const qint64 left = deadlineMs - (monotonicNs() - start) / 1000000;
        if (left <= 0) {
            ::kill(pid, SIGKILL);
            f.killed = true;
            break;
        }
        f.sampledPeakRssMb = std::max(f.sampledPeakRssMb, peakResidentMb(QString::number(pid)));
        pollfd p{outFd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::min<qint64>(left, 5))) <= 0)
            continue;
        const ssize_t got = ::read(outFd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        f.out.append(buffer, got);
    }
    ::close(outFd);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    f.cpuS = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
             double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return f;
}

struct Devsim {
    pid_t pid = -1;
    int outFd = -1;
    quint16 port = 0;

    bool start(const std::string& path, const std::vector<std::string>& extra)
    {
        std::vector<std::string> args{path, "--port", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        pid = spawn(args, &outFd);
        if (pid < 0)
            return false;
        // "linkvane-devsim: listening on 127.0.0.1:PORT"
        QByteArray line;
        char c = 0;
        pollfd p{outFd, POLLIN, 0};
        while (!line.endsWith('\n') && ::poll(&p, 1, 5000) > 0 && ::read(outFd, &c, 1) == 1)
            line.append(c);
        const qsizetype colon = line.lastIndexOf(':');
        port = colon > 0 ? static_cast<quint16>(line.mid(colon + 1).trimmed().toUInt()) : 0;
        return port != 0;
    }
    ~Devsim()
    {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        if (outFd >= 0)
            ::close(outFd);
    }
};

struct Paths {
    std::string self;
    std::string receiver;
    std::string devsim;
    std::string cli;
};

QJsonObject lastJsonLine(const QByteArray& out)
{
    const QList<QByteArray> lines = out.trimmed().split('\n');
    return lines.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(lines.last()).object();
}

// One receiver against the running simulator, with the kernel's drops around it.
QJsonObject measure(const Paths& paths, const std::string& who, quint16 port, int devices, int jitterMs)
{
    const int waitMs = jitterMs + 1500 + devices / 20;
    std::vector<std::string> args;
    if (who == "receiver")
        args = {paths.receiver, std::to_string(port), std::to_string(devices), std::to_string(waitMs),
                std::to_string(lv::kReceiveBufferBytes)};
    else if (who == "cli")
        args = {paths.cli, "--broadcast", kLoopbackBroadcast,    "--port", std::to_string(port), "search",
                "--json",  "--wait",      std::to_string(waitMs)};
    else
        args = {paths.self, "--role", "gui", "--port", std::to_string(port), "--expect", std::to_string(devices),
                "--deadline-ms", std::to_string(waitMs), "--spawned-ns", std::to_string(monotonicNs()),
                // The 1 ms meter wakes the process a thousand times a second: over a search
                // that trickles in for seconds it would cost more CPU than the window.
                "--meter-stalls", jitterMs >= 1000 ? "0" : "1"};
    const long long dropsBefore = rcvbufErrors();
    int outFd = -1;
    const pid_t pid = spawn(args, &outFd);
    Finished f = pid > 0 ? finish(pid, outFd, waitMs + 20000) : Finished{};
    const long long dropsAfter = rcvbufErrors();

    QJsonObject row;
    if (who == "cli") {
        const QJsonDocument doc = QJsonDocument::fromJson(f.out);
        row[QStringLiteral("listed")] = doc.isArray() ? static_cast<int>(doc.array().size()) : 0;
    } else {
        row = lastJsonLine(f.out);
    }
    const int got = row.value(QString::fromLatin1(who == "receiver" ? "received" : "listed")).toInt();
    row[QStringLiteral("client")] = QString::fromStdString(who);
    row[QStringLiteral("devices")] = devices;
    row[QStringLiteral("jitterMs")] = jitterMs;
    row[QStringLiteral("lost")] = devices - got;
    row[QStringLiteral("rcvbufErrors")] = dropsAfter - dropsBefore;
    row[QStringLiteral("cpuS")] = f.cpuS;
    if (!row.contains(QStringLiteral("peakRssMb")))
        row[QStringLiteral("peakRssMb")] = f.sampledPeakRssMb;
    row[QStringLiteral("killed")] = f.killed;
    return row;
}

QString number(const QJsonObject& row, const char* key, int decimals)
{
    const QJsonValue v = row.value(QString::fromLatin1(key));
    if (v.isUndefined() || v.isNull())
        return QStringLiteral("-");
    return QString::number(v.toDouble(), 'f', decimals);
}

void printRow(const QJsonObject& r)
{
    std::printf("%7d %6d  %-8s %7s %6s %7s %9s %9s %8s %7s %7s\n", r[QStringLiteral("devices")].toInt(),
                r[QStringLiteral("jitterMs")].toInt(), qPrintable(r[QStringLiteral("client")].toString()),
                qPrintable(number(r, "lost", 0)), qPrintable(number(r, "rcvbufErrors", 0)),
                qPrintable(number(r, "lastAnswerMs", 0)), qPrintable(number(r, "listedAfterLastAnswerMs", 1)),
                qPrintable(number(r, "laidOutAfterLastAnswerMs", 1)), qPrintable(number(r, "longestStallMs", 1)),
                qPrintable(number(r, "cpuS", 3)), qPrintable(number(r, "peakRssMb", 1)));
    std::fflush(stdout);
}

struct Scenario {
    int devices;
    int jitterMs;
};

int usage()
{
    std::fprintf(stderr,
                 "usage: bench_discovery [--quick] [--burst-runs K] [--json FILE] [--devsim PATH] [--cli PATH]\n"
                 "  --quick         1,000 devices only (jitter 0 and 200), no waits: a smoke run\n"
                 "  --burst-runs K  repeat the 50,000-device burst K times (default 10)\n"
                 "or:    bench_discovery --role bulk --port N --expect D [--parallel P]\n"
                 "  one change of every device of a running simulator, as the window's Devices menu\n"
                 "  makes it, with the event loop's longest stall\n");
    return 1;
}

std::string siblingOf(const std::string& self, const std::string& relative)
{
    const std::size_t slash = self.rfind('/');
    return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/" + relative;
}

int runParent(int argc, char** argv)
{
    char selfPath[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", selfPath, sizeof selfPath - 1);
    Paths paths;
    paths.self = n > 0 ? std::string(selfPath, static_cast<std::size_t>(n)) : std::string(argv[0]);
    paths.receiver = siblingOf(paths.self, "bench_plain_receiver");
    paths.devsim = siblingOf(paths.self, "../src/devsim/linkvane-devsim");
    paths.cli = siblingOf(paths.self, "../src/cli/linkvane-cli");
    QString jsonPath = QStringLiteral("bench_discovery.json");
    bool quick = false;
    int burstRuns = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--quick")
            quick = true;
        else if (a == "--json" && hasValue)
            jsonPath = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--devsim" && hasValue)
            paths.devsim = argv[++i];
        else if (a == "--cli" && hasValue)
            paths.cli = argv[++i];
        else if (a == "--burst-runs" && hasValue)
            burstRuns = std::max(0, std::min(100, std::atoi(argv[++i])));
        else
            return usage();
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    std::vector<Scenario> scenarios;
    if (quick)
        scenarios = {{1000, 0}, {1000, 200}};
    else
        scenarios = {{1000, 0}, {1000, 200}, {10000, 0}, {10000, 200}, {50000, 0}, {50000, 200}, {1000, 5000}};

    QJsonArray rows;
    bool broken = false; // a child that had to be ended or said nothing
    std::printf("devices jitter  client      lost rcvbuf lastAns  listed+ms laidOut+ms stallMs    cpuS   rssMB\n");
    const auto runScenario = [&](const Scenario& s, const std::vector<std::string>& clients) {
        Devsim sim;
        if (!sim.start(paths.devsim,
                       {"--devices", std::to_string(s.devices), "--jitter", std::to_string(s.jitterMs)})) {
            std::fprintf(stderr, "bench_discovery: cannot start %s\n", paths.devsim.c_str());
            return false;
        }
        for (const std::string& who : clients) {
            const QJsonObject row = measure(paths, who, sim.port, s.devices, s.jitterMs);
            printRow(row);
            rows.append(row);
            broken = broken || row[QStringLiteral("killed")].toBool() ||
                     !row.contains(QString::fromLatin1(who == "cli" ? "listed" : "received"));
            ::usleep(200000); // let the simulator's queue for this client run out
        }
        return true;
    };
    for (const Scenario& s : scenarios)
        if (!runScenario(s, {"receiver", "cli", "gui"}))
            return 1;

    QJsonObject burst;
    if (!quick && burstRuns > 0) {
        std::printf("-- 50,000 devices in a burst, %d runs\n", burstRuns);
        QJsonObject worst;
        for (const std::string who : {"receiver", "gui", "cli"}) {
            int clean = 0;
            double longestStall = 0;
            int lostMax = 0;
            for (int run = 0; run < burstRuns; ++run) {
                Devsim sim;
                if (!sim.start(paths.devsim, {"--devices", "50000"}))
                    return 1;
                const QJsonObject row = measure(paths, who, sim.port, 50000, 0);
                printRow(row);
                const int lost = row[QStringLiteral("lost")].toInt();
                clean += lost == 0 ? 1 : 0;
                lostMax = std::max(lostMax, lost);
                longestStall = std::max(longestStall, row[QStringLiteral("longestStallMs")].toDouble());
            }
            burst[QString::fromStdString(who)] =
                QJsonObject{{QStringLiteral("runs"), burstRuns},
                            {QStringLiteral("runsWithoutLoss"), clean},
                            {QStringLiteral("mostLost"), lostMax},
                            {QStringLiteral("longestStallMs"), who == "gui" ? QJsonValue(longestStall) : QJsonValue()}};
            std::printf("   %-8s %d of %d runs without loss (most lost %d)\n", who.c_str(), clean, burstRuns, lostMax);
        }
    }

    QJsonObject waits;
    if (!quick) {
        // The default LAN, one device of each model; the second one never answers.
        Devsim sim;
        const QString silent = QStringLiteral("0.80.194.0.0.2");
        if (!sim.start(paths.devsim, {"--silent", silent.toStdString()}))
            return 1;
        int outFd = -1;
        const pid_t pid = spawn({paths.self, "--role", "waits", "--port", std::to_string(sim.port), "--silent-mac",
                                 silent.toStdString(), "--spawned-ns", std::to_string(monotonicNs())},
                                &outFd);
        const Finished f = finish(pid, outFd, 30000);
        waits = lastJsonLine(f.out);
        waits[QStringLiteral("cpuS")] = f.cpuS;
        std::printf(
            "-- waits (CPU seconds per second): idle %.4f, silent request %.4f over %.0f ms, "
            "Update %.4f over %.0f ms (delay %d ms, answered %s), MAC change time-out %.4f over %.0f ms "
            "(sent %s); start-up to first paint %.1f ms\n",
            waits[QStringLiteral("idleCpuShare")].toDouble(), waits[QStringLiteral("silentRequestCpuShare")].toDouble(),
            waits[QStringLiteral("silentRequestMs")].toDouble(), waits[QStringLiteral("updateCpuShare")].toDouble(),
            waits[QStringLiteral("updateMs")].toDouble(), waits[QStringLiteral("updateDelayMs")].toInt(),
            waits[QStringLiteral("updateAnswered")].toBool() ? "yes" : "no",
            waits[QStringLiteral("macChangeCpuShare")].toDouble(), waits[QStringLiteral("macChangeMs")].toDouble(),
            waits[QStringLiteral("macChangeSent")].toBool() ? "yes" : "no",
            waits[QStringLiteral("startupMs")].toDouble());
    }

    QFile file(jsonPath);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(QJsonDocument(QJsonObject{{QStringLiteral("runs"), rows},
                                             {QStringLiteral("burst"), burst},
                                             {QStringLiteral("waits"), waits}})
                       .toJson());
        std::printf("written: %s\n", qPrintable(jsonPath));
    }
    if (broken)
        std::fprintf(stderr, "bench_discovery: a receiver had to be ended or reported nothing\n");
    return broken ? 1 : 0;
}

QString argument(int argc, char** argv, const char* name, const char* fallback = "")
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return QString::fromLocal8Bit(argv[i + 1]);
    return QString::fromLatin1(fallback);
}

} // namespace

int main(int argc, char** argv)
{
    const QString role = argument(argc, argv, "--role");
    if (role.isEmpty())
        return runParent(argc, argv);
    const auto port = static_cast<quint16>(argument(argc, argv, "--port", "0").toUInt());
    const int expect = argument(argc, argv, "--expect", "0").toInt();
    const int deadlineMs = argument(argc, argv, "--deadline-ms", "5000").toInt();
    const qint64 spawnedNs = argument(argc, argv, "--spawned-ns", "0").toLongLong();
    QApplication app(argc, argv);
    if (role == QLatin1String("gui"))
        return runGui(port, expect, deadlineMs, spawnedNs, argument(argc, argv, "--meter-stalls", "1").toInt() != 0);
    if (role == QLatin1String("bulk"))
        return runBulk(port, expect, argument(argc, argv, "--parallel", "64").toInt());
    if (role == QLatin1String("waits"))
        return runWaits(port, argument(argc, argv, "--silent-mac"), spawnedNs);
    return usage();
}
