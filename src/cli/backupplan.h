// SPDX-License-Identifier: Apache-2.0
#pragma once

// The undo plan of --backup: before anything is sent, a plan in the format export writes that puts
// back what a set or an apply is about to change. For each device, its MAC text, its window, and the
// fields the Update changes with their values as loaded, as the window shows them (a list by its entry).

#include "catalogue.h"
#include "updateplan.h"

#include <QJsonObject>
#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace lv {

class SecretMask;
class SetupForm;

// Every field the device's window lets the operator set, as it shows it (export's fields), by tag or,
// with `roles`, by role where the field has one; secrets as "***" while the mask hides them.
QJsonObject settableFields(const SetupForm& form, const SecretMask& mask, bool roles = false);

struct BackupDevice {
    std::string macText;
    const WindowDef* window = nullptr;
    std::string reply; // the configuration reply it was loaded from
    int portCount = 0; // the ports it was loaded for
    UpdatePlan plan;   // the Update about to be sent
};

// The device's entry of the undo plan: {"device", "window", "set": {tag: value as loaded}}.
QJsonObject backupEntry(const BackupDevice& device, const SecretMask& mask);

// Writes {"devices": [...]} to `path` whole or not at all; the reason when it could not.
std::optional<QString> writeBackup(const QString& path, const std::vector<QJsonObject>& devices);

} // namespace lv
