// SPDX-License-Identifier: Apache-2.0
#pragma once

// The results of the steps of a device's job that are not exchanges with it: whether the plan reaches
// the device at all, what the loaded form makes of the changes asked, and the gates a job passes before
// it starts and before its set command leaves. Like an exchange's result each is a typed value whose
// Q_ENUM outcome says how the step ended; its meaning is meaningOf() (outcomes.h) and its texts are
// describe() (outcometexts.h).

#include "setupform.h"
#include "updateplan.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace lv {

// A value typed into a field that the window would not take. `error` None: the value is not single-byte
// (Latin-1) text.
struct TypedRefusal {
    SetError error = SetError::None;
    QString name; // the field's tag or role, as typed
    QString value;
};

// Why a plan's entry reaches no device, or reaches one it must leave alone.
struct ReachResult {
    Q_GADGET
public:
    enum class Outcome {
        NotFound,   // the device named did not answer the search; `detail`: the entry as shown
        NoMatch,    // no device matches the entry's selection; `detail`: the entry as shown
        NamedTwice, // an earlier entry reaches it already; `detail`: that entry's name as shown
        Shared,     // its answer cannot be told from another host's; `detail`: the conflict as a text
    };
    Q_ENUM(Outcome)

    Outcome outcome = Outcome::NotFound;
    QString detail;
};

// What the loaded form makes of the changes asked.
struct PrepareResult {
    Q_GADGET
public:
    enum class Outcome {
        Loaded,      // only read: the form as loaded (none for a model without a window)
        Ready,       // the Update the changes make is planned
        Unchanged,   // nothing differs from the values as loaded
        NoWindow,    // the model opens no setup window
        NoMac,       // the reply names no MAC address, so no command can name the device
        WrongWindow, // the changes were written for another window
        Refused,     // a value typed was refused; `refusal` says which and why
        TooLarge,    // the set command would not fit one datagram
    };
    Q_ENUM(Outcome)

    Outcome outcome = Outcome::Loaded;
    std::shared_ptr<const SetupForm> form; // as loaded and changed; null: no window
    std::optional<UpdatePlan> plan;        // once the changes were applied
    TypedRefusal refusal;                  // Refused
    QString plannedWindow;                 // WrongWindow: the window the plan names, as shown
    QStringList skipped;                   // defaults the device's window has no settable field for
};

// A point where a job may stop before it sends anything more.
struct GateResult {
    Q_GADGET
public:
    enum class Outcome {
        Passed,
        Interrupted, // a stop was asked for
        Refused,     // what had to be done first failed (the backup); `why` says so
    };
    Q_ENUM(Outcome)
    enum class Point {
        Start,      // before the job's first exchange
        BeforeSend, // its configuration read, before the set command
        Check,      // its Update confirmed, before the check after it ended
    };
    Q_ENUM(Point)

    Outcome outcome = Outcome::Passed;
    Point point = Point::Start;
    QString why;
};

} // namespace lv
