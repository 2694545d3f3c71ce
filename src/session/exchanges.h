// SPDX-License-Identifier: Apache-2.0
#pragma once

// The exchanges with one device, written once for the GUI and the CLI: the configuration request and
// the Update, each an object that runs on the event loop and ends with one typed result. A window or
// a single CLI command waits for it ("start, then wait for finished": requestConfiguration, runUpdate);
// a fleet starts many at once and sequences them.

#include "commandchannel.h"
#include "devicepeer.h"
#include "modeltable.h"
#include "updateplan.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <string>
#include <string_view>
#include <vector>

namespace lv {

inline constexpr int kRequestTimeoutMs = 1000;
inline constexpr int kAnswerTimeoutMs = 1000;

struct ConfigRequestResult;

// The device an exchange is for: its search answer as received, and the card it answered on (0: where the
// routing table sends), through which its commands leave.
struct DeviceEntry {
    DeviceEntry() = default;
    DeviceEntry(std::string rawEntry, int interface = 0, DevicePeer from = {})
        : raw(std::move(rawEntry)), interfaceIndex(interface), sender(from)
    {
    }

    std::string raw;
    int interfaceIndex = 0;
    DevicePeer sender; // where its search answer came from; its replies are taken from there only
};

// The configuration request for the device of one raw search reply: "G " + address part + password +
// NUL, then the wait for a complete reply ("MAC", its MacAddress and its model) within the bound. A
// reply whose window reads items it does not hold whole (a datagram of it lost, or come out of order)
// is not used: the request goes on gathering until the bound, then ends as Incomplete.
class ConfigRequest final : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Answered,   // a complete reply starting with "A": the loader may run
        NotAReply,  // complete, but it does not start with "A"
        NoAnswer,   // no complete reply within the bound
        NotSent,    // the request could not be sent
        NotADevice, // the entry is not a search reply that names a device
        Incomplete, // a reply came, but items its window reads were still missing at the bound
    };
    Q_ENUM(Outcome)

    ConfigRequest(CommandChannel& channel, DeviceEntry device, std::string password,
                  int timeoutMs = kRequestTimeoutMs, QObject* parent = nullptr);
    ~ConfigRequest() override;

    // Sends the request; finished() follows (at once when nothing could be sent).
    void start();
    bool done() const { return m_done; }
    const ConfigRequestResult& result() const;

Q_SIGNALS:
    void finished();

private:
    void onComplete();
    void onTimeout();
    // Whether the gathered reply holds every item its window reads; the gaps are kept in the result.
    bool whole();
    void finish(Outcome outcome);

    CommandChannel& m_channel;
    DeviceEntry m_device;
    std::string m_password;
    int m_timeoutMs;
    QTimer m_timer;
    QTimer m_recheck; // while an incomplete reply gathers more: at most one look per interval
    QMetaObject::Connection m_grown;
    QMetaObject::Connection m_completed;
    bool m_done = false;
    std::unique_ptr<ConfigRequestResult> m_result;
};

struct ConfigRequestResult {
    ConfigRequest::Outcome outcome = ConfigRequest::Outcome::NotADevice;
    bool sent = false;       // false: nothing went out (the entry is not a search reply, or sending failed)
    bool sendFailed = false; // the request was built but could not be sent
    bool timedOut = false;   // no complete reply within the time-out
    bool valid = false;      // complete, in time and starting with "A": the loader may run
    std::string reply;       // ReplyBuffer after the wait
    int foreignReplies = 0;  // replies set aside because they named another device
    int strangers = 0;       // datagrams set aside because another host sent them
    std::vector<std::string> missing; // Incomplete: the items the window reads that the reply lacks
    ModelVersion modelVersion;
    ModelDispatch dispatch;
};

// The window's Update: the set command, the delay, the "U " commands, the wait for "MAC".
class UpdateExchange final : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Answered, // the device answered within the time-out after the last "U " command
        NoAnswer, // sent, and no answer in time
        NotSent,  // a command could not be sent (a socket error)
        TooLarge, // a command is over the datagram limit: nothing of the exchange was sent
    };
    Q_ENUM(Outcome)

    UpdateExchange(CommandChannel& channel, UpdatePlan plan, int timeoutMs = kAnswerTimeoutMs,
                   QObject* parent = nullptr);

    // Whether the plan's commands can leave at all (each fits one datagram).
    static bool fits(const UpdatePlan& plan);

    // Sends the set command; the rest follows on the event loop, then finished().
    void start();
    bool done() const { return m_done; }
    Outcome outcome() const { return m_outcome; }
    // Whether the set command left (so the device may hold its values, confirmed or not).
    bool setSent() const { return m_setSent; }
    // What the device answered (ReplyBuffer at the end).
    const std::string& answer() const { return m_answer; }
    const UpdatePlan& plan() const { return m_plan; }

Q_SIGNALS:
    void finished();

private:
    enum class Step { Idle, Delaying, Answering, Done };
    void onTimer();
    void onComplete();
    void sendUpdates();
    void finish(Outcome outcome);

    CommandChannel& m_channel;
    UpdatePlan m_plan;
    int m_timeoutMs;
    QTimer m_timer;           // the delay, then the wait for the answer
    QElapsedTimer m_sinceSet; // since the set command left
    QMetaObject::Connection m_completed;
    Step m_step = Step::Idle;
    Outcome m_outcome = Outcome::NoAnswer;
    bool m_setSent = false;
    bool m_done = false;
    std::string m_answer;
};

using UpdateResult = UpdateExchange::Outcome;

// The configuration request, started and waited for. Model, version and the model-table row are
// read even when the request timed out.
ConfigRequestResult requestConfiguration(CommandChannel& channel, const DeviceEntry& device,
                                         const std::string& password, int timeoutMs = kRequestTimeoutMs);

// The configuration request, and the window's model and version (gModel, gVersion) following the reply,
// as its setup window needs them before it opens.
ConfigRequestResult requestAndRecord(CommandChannel& channel, const DeviceEntry& device, const std::string& password,
                                     int timeoutMs = kRequestTimeoutMs);

// The Update, started and waited for.
UpdateResult runUpdate(CommandChannel& channel, const UpdatePlan& plan, int timeoutMs = kAnswerTimeoutMs);

} // namespace lv
