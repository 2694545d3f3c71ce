// SPDX-License-Identifier: Apache-2.0
#pragma once

// The exchanges with one device, written once for the GUI and the CLI: the configuration request and
// the Update, each an Exchange that runs on the event loop and ends with one typed result. A window or
// a single CLI command runs it to its end (runExchange); a fleet starts many at once and sequences them.

#include "commandchannel.h"
#include "deviceref.h"
#include "exchange.h"
#include "modeltable.h"
#include "updateplan.h"

#include <QElapsedTimer>
#include <QMetaType>
#include <QObject>
#include <QTimer>

#include <string>
#include <string_view>
#include <vector>

namespace lv {

inline constexpr int kRequestTimeoutMs = 1000;
inline constexpr int kAnswerTimeoutMs = 1000;

// What became of one configuration request.
struct ConfigRequestResult {
    Q_GADGET
public:
    enum class Outcome {
        Answered,   // a complete reply starting with "A": the loader may run
        NotAReply,  // complete, but it does not start with "A"
        NoAnswer,   // no complete reply within the bound
        NotSent,    // the request could not be sent
        NotADevice, // the entry is not a search reply that names a device
        Incomplete, // a reply came, but items its window reads were still missing at the bound, or
                    // it started only after a later piece of it (that piece set aside, "MAC" unseen)
        Aborted,    // ended by abort() after the request went out
    };
    Q_ENUM(Outcome)

    Outcome outcome = Outcome::NotADevice;
    std::string reply;                // ReplyBuffer at the end
    int foreignReplies = 0;           // replies set aside because they named another device
    int strangers = 0;                // datagrams set aside because another host sent them
    std::vector<std::string> missing; // Incomplete: the items the window reads that the reply lacks
    ModelVersion modelVersion;        // read from the reply, also when it timed out
    ModelDispatch dispatch;

    // Whether the request left (the entry named a device and the socket took it).
    bool sent() const { return outcome != Outcome::NotSent && outcome != Outcome::NotADevice; }
    // Complete, in time and starting with "A": the loader may run.
    bool valid() const { return outcome == Outcome::Answered; }
};

// The configuration request for one device: "G " + address part + password + NUL, then the wait for a
// complete reply ("MAC", its MacAddress and its model) within the bound. A reply whose window reads
// items it does not hold whole (a datagram of it lost, or come out of order) is not used: the request
// goes on gathering until the bound, then ends as Incomplete.
class ConfigRequest final : public Exchange {
    Q_OBJECT
public:
    using Outcome = ConfigRequestResult::Outcome;

    ConfigRequest(CommandChannel& channel, DeviceRef device, std::string password, int timeoutMs = kRequestTimeoutMs,
                  QObject* parent = nullptr);
    ~ConfigRequest() override;

    void start() override;
    void abort() override { finish(Outcome::Aborted); }
    int boundMs() const override { return m_timeoutMs; }
    const ConfigRequestResult& result() const { return m_result; }
    const DeviceRef& device() const { return m_device; }

private:
    void onComplete();
    void onTimeout();
    // Whether the gathered reply holds every item its window reads; the gaps are kept in the result.
    bool whole();
    void finish(Outcome outcome);

    CommandChannel& m_channel;
    DeviceRef m_device;
    std::string m_password;
    int m_timeoutMs;
    QTimer m_timer;
    QTimer m_recheck; // while an incomplete reply gathers more: at most one look per interval
    QMetaObject::Connection m_grown;
    QMetaObject::Connection m_completed;
    ConfigRequestResult m_result;
};

// What became of one Update.
struct UpdateResult {
    Q_GADGET
public:
    enum class Outcome {
        Answered, // the device answered within the time-out after the last "U " command
        NoAnswer, // sent, and no answer in time
        NotSent,  // a command could not be sent (a socket error)
        TooLarge, // a command is over the datagram limit: nothing of the exchange was sent
        Aborted,  // ended by abort()
    };
    Q_ENUM(Outcome)

    Outcome outcome = Outcome::NotSent;
    int commandsSent = 0; // datagrams that left: the set command, then each "U "
    std::string answer;   // what the device answered (ReplyBuffer at the end)
    int strangers = 0;    // datagrams set aside because another host sent them

    // Whether the set command left (so the device may hold its values, confirmed or not).
    bool setSent() const { return commandsSent > 0; }
    bool answered() const { return outcome == Outcome::Answered; }
};

// The window's Update of one device: the set command, the delay, the "U " commands, the wait for
// "MAC". It leaves by the device's card and takes the answer from the device only (or from the new
// address the plan gives it: the device's peer moves there).
class UpdateExchange final : public Exchange {
    Q_OBJECT
public:
    using Outcome = UpdateResult::Outcome;

    UpdateExchange(CommandChannel& channel, DeviceRef device, UpdatePlan plan, int timeoutMs = kAnswerTimeoutMs,
                   QObject* parent = nullptr);

    // Whether the plan's commands can leave at all (each fits one datagram).
    static bool fits(const UpdatePlan& plan);

    void start() override;
    void abort() override { finish(Outcome::Aborted); }
    int boundMs() const override { return m_plan.delayMs + m_timeoutMs; }
    const UpdateResult& result() const { return m_result; }
    const UpdatePlan& plan() const { return m_plan; }
    const DeviceRef& device() const { return m_device; }

private:
    enum class Step { Idle, Delaying, Answering, Done };
    void onTimer();
    void onComplete();
    void sendUpdates();
    bool send(const std::string& command);
    void finish(Outcome outcome);

    CommandChannel& m_channel;
    DeviceRef m_device;
    UpdatePlan m_plan;
    int m_timeoutMs;
    QTimer m_timer;           // the delay, then the wait for the answer
    QElapsedTimer m_sinceSet; // since the set command left
    QMetaObject::Connection m_completed;
    Step m_step = Step::Idle;
    UpdateResult m_result;
};

} // namespace lv

Q_DECLARE_METATYPE(lv::UpdateResult)
