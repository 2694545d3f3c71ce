// SPDX-License-Identifier: Apache-2.0
#pragma once

// After a confirmed Update: whether the device now reports what the Update sent. A "U " answered with
// "MAC" only says that the device heard the command; a device may keep a value it did not like, or
// restart before it holds the new ones. So the configuration is asked for again, through the same
// request the window's double-click sends, until a bounded time has passed, loaded by the window's own
// loader, and every field the set command changed is compared with what the device reports now.

#include "catalogue.h"
#include "commandchannel.h"
#include "exchanges.h"
#include "updateplan.h"

#include <QElapsedTimer>
#include <QMetaType>
#include <QObject>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

namespace lv {

// A device that restarts after "U " may stay quiet for a few seconds.
inline constexpr int kVerifyTimeoutMs = 5000;
// Between two requests when the last one could not be sent or was not a reply, so that a broken
// socket or a device answering junk is not asked in a tight loop.
inline constexpr int kVerifyRetryPauseMs = 100;

// One field the Update sent and what the device reports for it now (a list field as its index).
struct VerifiedField {
    std::string tag;
    std::string sent;
    std::string reported;

    bool matches() const { return sent == reported; }
    bool operator==(const VerifiedField&) const = default;
};

// What the device reports after the Update, field by field.
struct VerifyResult {
    Q_GADGET
public:
    enum class Outcome {
        Verified, // the device reports every value the Update sent
        Mismatch, // it answered, and at least one field holds something else
        NoAnswer, // no configuration reply within the bound
        Aborted,  // ended by abort()
    };
    Q_ENUM(Outcome)

    Outcome outcome = Outcome::NoAnswer;
    // Every field the Update changed, in the order of its set command; `reported` is empty without an answer.
    std::vector<VerifiedField> fields;
    int attempts = 0;     // configuration requests sent
    qint64 elapsedMs = 0; // from start() to the end

    bool verified() const { return outcome == Outcome::Verified; }
};

class VerifyExchange final : public Exchange {
    Q_OBJECT
public:
    using Outcome = VerifyResult::Outcome;

    // `device` is the device as its search found it and `password` the setup password as it was before the
    // Update; `window` and `portCount` name the loader the configuration was loaded with.
    VerifyExchange(CommandChannel& channel, DeviceRef device, std::string password, const WindowDef& window,
                   int portCount, UpdatePlan plan, int timeoutMs = kVerifyTimeoutMs, QObject* parent = nullptr);
    ~VerifyExchange() override;

    void start() override;
    void abort() override;
    int boundMs() const override { return m_timeoutMs; }
    const VerifyResult& result() const { return m_result; }

    // The search reply and setup password that name the device once the Update holds: an Update that
    // changed the IP address or the password changed how the device must be asked.
    static std::string entryAfterUpdate(const std::string& rawEntry, const WindowDef& window, const UpdatePlan& plan);
    static std::string passwordAfterUpdate(const std::string& password, const WindowDef& window,
                                           const UpdatePlan& plan);

private:
    void ask();
    void onAnswer();
    void compare(const std::string& reply);
    void finish(Outcome outcome);

    CommandChannel& m_channel;
    DeviceRef m_device;
    std::string m_password;
    const WindowDef& m_window;
    int m_portCount;
    UpdatePlan m_plan;
    int m_timeoutMs;
    QElapsedTimer m_clock;
    QTimer m_pause;
    std::unique_ptr<ConfigRequest> m_request;
    VerifyResult m_result;
};

} // namespace lv

Q_DECLARE_METATYPE(lv::VerifyResult)
