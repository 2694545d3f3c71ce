// SPDX-License-Identifier: Apache-2.0
#pragma once

// The undo plan of --backup: before anything is sent, a plan in the format export writes that puts
// back what a set or an apply is about to change. For each device, its MAC text, its window, the setup
// password it must be asked with once the change holds, and the fields the Update changes with their
// values as loaded, as the window shows them (a list by its entry), secrets in clear: an undo that
// cannot put a password back is no undo.

#include "catalogue.h"
#include "privatefile.h"
#include "updateplan.h"

#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lv {

class SecretMask;
class SetupForm;

// Every field the device's window lets the operator set, in the window's order, with its value as it
// shows it: text as it stands, a list by the label of its entry ("#N" when the label names an earlier
// entry too). A list showing no entry is left out: no value typed could select nothing. Secrets as
// "***" while the mask hides them; braces doubled, since a plan reads {n}, {mac} and {id} as templates.
std::vector<std::pair<const FieldDef*, QString>> settableFieldList(const SetupForm& form, const SecretMask& mask);

// The fields of settableFieldList as a plan's "set" (export's fields and the backup's), by tag or, with
// `roles`, by role where the field has one.
QJsonObject settableFields(const SetupForm& form, const SecretMask& mask, bool roles = false);

struct BackupDevice {
    std::string macText;
    const WindowDef* window = nullptr;
    std::string reply;    // the configuration reply it was loaded from
    int portCount = 0;    // the ports it was loaded for
    std::string password; // the setup password it was asked for its configuration with
    UpdatePlan plan;      // the Update about to be sent
};

struct BackupEntry {
    QJsonObject json;          // {"device", "window", "password", "set": {tag: value as loaded}}
    bool holdsSecrets = false; // a password in clear: the login or a secret field's value
};

// The device's entry of the undo plan.
BackupEntry backupEntry(const BackupDevice& device);

// Why `file` cannot take the backup: a symbolic link would have its target replaced; a directory,
// device node or FIFO is no file to replace. Nothing for a regular file or a new name.
std::optional<QString> backupRefused(const PrivateFile& file);

// Writes {"devices": [...]} to `file` whole, on disk and readable by its owner alone, or leaves what was
// there as it was; the reason when it could not.
std::optional<QString> writeBackup(const PrivateFile& file, const std::vector<BackupEntry>& devices);

// Whether any of the entries holds a password in clear.
inline bool holdSecrets(const std::vector<BackupEntry>& devices)
{
    return std::ranges::any_of(devices, &BackupEntry::holdsSecrets);
}

// The note for standard error when the backup holds secrets in clear.
QString backupSecretsNote(const QString& path);

} // namespace lv
