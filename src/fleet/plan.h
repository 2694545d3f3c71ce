// SPDX-License-Identifier: Apache-2.0
#pragma once

// The plan of linkvane-cli apply and export: per device how it is named and what its window's fields are
// to hold, with defaults for every device.
//
//   {"defaults": {"password": "", "set": {"port1.baud": "115200"}},
//    "devices": [{"device": "00-50-C2-00-00-03", "set": {"DeviceID": "Pump-7"}},
//                {"device": "192.168.1.41", "password": "secret", "window": "frmSetupKr770A",
//                 "set": {"SIOBaud": "19200"}},
//                {"select": "model=KR-77*", "set": {"deviceId": "Hall2-{n:03}"}}]}

#include "catalogue.h"
#include "deviceactions.h"
#include "deviceselector.h"
#include "selection.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace lv {

// One "set" entry: a field by its tag or its role, the value as typed, and whether it came from the
// plan's defaults. A default the device's window lacks is skipped; a device's own entry is refused.
struct SetEntry {
    QString name;
    QString value;
    bool fromDefaults = false;

    bool operator==(const SetEntry&) const = default;
};
using SetEntries = std::vector<SetEntry>;

struct PlanEntry {
    QString device; // as written: MAC text, MAC field or IP address; the expression of a selection
    DeviceSelector selector;
    // An entry by "select": every device that matches, in the order the search listed them.
    std::optional<DeviceSelection> selection;
    std::optional<QString> password; // the device's own, else the defaults'
    QString window;                  // the window the entries were written for; empty: any
    // The defaults' entries first; a device's own entry replaces a default of the same name.
    SetEntries set;
    // The device actions the entry asks for by their plan keys (deviceactions.h), run after the Update in
    // the order of the action table.
    std::vector<PlannedAction> actions;
};

struct Plan {
    std::vector<PlanEntry> entries;
};

// The entries a device whose window is `window` takes: every one of its own, and the defaults that name
// (by tag or role) a field the window can set. The names of the defaults left out go to `skipped`.
SetEntries entriesForWindow(const SetEntries& set, const WindowDef& window, QStringList* skipped);

// Reads and checks a plan. On failure `error` says where: the line and column of a JSON fault, the
// path of an entry that is wrong ("devices[2].set.SIOBaud").
std::optional<Plan> readPlanJson(const QByteArray& text, QString* error);

// Checks a plan read from another shape (a table), as the object a JSON plan holds. The errors name the
// entries by their path ("devices[2].set.SIOBaud") for the caller to point at where they came from.
std::optional<Plan> planFromJson(const QJsonObject& root, QString* error);

// How a plan is written: a JSON document or a CSV table (csvplan.h).
enum class PlanFormat { Json, Csv };

// The format a plan file is read in: the one `formatOption` names (json or csv), else CSV for a name
// ending in .csv and JSON for any other. Nothing when `formatOption` names another.
std::optional<PlanFormat> planFormatFor(const QString& path, const QString& formatOption);

// Reads and checks a plan in either format.
std::optional<Plan> readPlan(const QByteArray& bytes, PlanFormat format, QString* error);

// Line and column (both from 1) of a byte offset into UTF-8 text.
std::pair<int, int> lineAndColumn(const QByteArray& text, qsizetype offset);

} // namespace lv
