// SPDX-License-Identifier: Apache-2.0
#pragma once

// What can be done to a device, as data: one row per action says how its exchange is built (for an
// action of one datagram and one answer), what each of its outcomes means (the fleet's word, failure or
// not, the exit code), the key a plan asks for it by, the CLI command and the menu entry that offer it,
// and its texts. A plan entry and a job take a list of these actions; the front ends that offer an
// action are built from the rows, once.

#include "deviceref.h"
#include "outcomes.h"

#include <QMetaEnum>
#include <QString>
#include <QStringView>

#include <span>
#include <string>
#include <string_view>

namespace lv {

enum class Audience;
struct TextContext;
struct DatagramResult;

// In job order; a new action appends.
enum class ActionKind { Load, Update, Verify, MacChange };

// One action of a job with its operands: for the MAC change the new field and the access code.
struct PlannedAction {
    ActionKind kind = ActionKind::Load;
    std::string argument{};
    std::string secret{};
};

// What one of an action's outcomes (its result type's Q_ENUM value) means.
struct ActionOutcome {
    int outcome;
    Meaning meaning;
};

// What a datagram taken from the device during a one-datagram action is.
struct DatagramVerdict {
    enum class Kind {
        Ignore,  // not an answer: the wait goes on
        Foreign, // an answer about another device: set aside, the wait goes on
        Final,   // the answer: `outcome` is the action's outcome
    };
    Kind kind = Kind::Ignore;
    int outcome = 0;
};

// How a one-datagram exchange is built: the datagram, the reading of what comes back, the wait.
struct DatagramAction {
    std::string (*command)(const DeviceRef& device, const PlannedAction& action);
    DatagramVerdict (*read)(std::string_view answer, const DeviceRef& device);
    int timeoutMs;
};

struct DeviceAction {
    ActionKind kind;
    const char* name;                        // "mac-change": for logs and test names
    const char* planKey;                     // the key a plan entry asks for it by; null: not in a plan
    const char* cliCommand;                  // the CLI command made for it; null: none (or a command of its own)
    const char* summary;                     // that command's line in the list of commands
    const char* menuCaption;                 // the selected device's menu entry; null: none
    const DatagramAction* datagram;          // one-datagram actions only
    QMetaEnum outcomes;                      // the Q_ENUM of its result's outcome
    std::span<const ActionOutcome> meanings; // one row per value of `outcomes`
    // The texts of a one-datagram action's result (the other actions' results have describe() of their
    // own); null: none.
    QString (*describe)(const DatagramResult& result, Audience audience, const TextContext& context);

    // What `outcome` means; an outcome without a row is read as no answer.
    Meaning meaningOf(int outcome) const;
};

// Every action, in ActionKind's order, then those added.
std::span<const DeviceAction> deviceActions();
const DeviceAction& deviceAction(ActionKind kind);
const DeviceAction* actionForPlanKey(QStringView key);
// Appends a row (a new action, or one a test makes up). Rows are read through deviceActions() again
// afterwards: the span given before may no longer hold.
void addDeviceAction(const DeviceAction& action);

} // namespace lv
