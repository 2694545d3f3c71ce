// SPDX-License-Identifier: Apache-2.0
#pragma once

// The undo plan of --backup: before anything is sent, a plan in the format export writes that puts
// back what a set or an apply is about to change. For each device, its MAC text, its window, the setup
// password it must be asked with once the change holds, and the fields the Update changes with their
// values as loaded, as the window shows them (a list by its entry), secrets in clear: an undo that
// cannot put a password back is no undo.

#include "catalogue.h"
#include "command.h"
#include "privatefile.h"
#include "updateplan.h"

#include <QCommandLineParser>
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

// The --backup option of set and apply: the file, its folder opened as the option is read, so that the
// backup goes to the folder the path named then, when it is given and can take the backup; nothing when it
// is not given; the refusal (exit 1, nothing sent) when it cannot: standard output ("-") carries the
// command's report; a symbolic link would have its target replaced; a directory, device node or FIFO is no
// file to replace. The file looks at its name again just before it replaces it.
Expected<std::optional<PrivateFile>> backupOption(const QCommandLineParser& parser);

// Writes {"devices": [...]} to `file` whole, on disk and readable by its owner alone, or leaves what was
// there as it was; the reason when it could not.
std::optional<QString> writeBackup(const PrivateFile& file, const std::vector<QJsonObject>& devices);

// The note for standard error when the backup holds secrets in clear.
QString backupSecretsNote(const QString& path);

} // namespace lv
