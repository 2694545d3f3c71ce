// SPDX-License-Identifier: Apache-2.0
// The undo plan of --backup, and the fields a plan sets as a device shows them.

#include "backup.h"

#include "latin1.h"
#include "secretmask.h"
#include "setupform.h"
#include "showntext.h"
#include "valuetemplate.h"
#include "verifyexchange.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <set>

namespace lv {

std::vector<std::pair<const FieldDef*, QString>> settableFieldList(const SetupForm& form, const SecretMask& mask)
{
    const WindowDef& window = form.window();
    std::vector<std::pair<const FieldDef*, QString>> fields;
    for (const FieldDef& field : window.fields) {
        if (field.tag.empty() || !field.enabled || !window.sendsTag(field.tag) || !form.readsField(field))
            continue;
        if (field.kind == ControlKind::ComboBox) {
            const int index = form.value(field.control).index;
            if (index < 0 || index >= static_cast<int>(field.entries.size()))
                continue;
            const std::string& label = field.entries[static_cast<std::size_t>(index)];
            fields.emplace_back(&field, listIndexForValue(field, label) == index ? escapeTemplates(fromLatin1(label))
                                                                                 : QStringLiteral("#%1").arg(index));
        } else if (field.kind == ControlKind::TextBox) {
            const std::string text = form.currentText(field);
            const bool hide = field.secret && !text.empty() && mask.enabled();
            // Braces doubled: apply reads {n}, {mac} and {id} in values as templates.
            fields.emplace_back(&field, hide ? fromLatin1(kMaskedSecret) : escapeTemplates(fromLatin1(text)));
        }
    }
    return fields;
}

QJsonObject settableFields(const SetupForm& form, const SecretMask& mask, bool roles)
{
    QJsonObject set;
    for (const auto& [field, value] : settableFieldList(form, mask))
        set.insert(fromLatin1(roles && !field->role.empty() ? field->role : field->tag), value);
    return set;
}

std::optional<QString> backupRefused(const PrivateFile& file)
{
    switch (file.kind()) {
    case PrivateFile::Kind::Link:
        return QStringLiteral("the backup %1 is a symbolic link: its target would be replaced; name the file itself")
            .arg(printableName(file.path()));
    case PrivateFile::Kind::Other:
        return QStringLiteral("the backup %1 exists and is no regular file (a directory, device or FIFO)")
            .arg(printableName(file.path()));
    case PrivateFile::Kind::Absent:
    case PrivateFile::Kind::Regular:
        break;
    }
    return std::nullopt;
}

BackupEntry backupEntry(const BackupDevice& device)
{
    // A form of its own, filled from the reply as the window would show it before any change.
    SetupForm asLoaded(*device.window);
    asLoaded.load(device.reply, device.portCount);
    std::set<std::string, std::less<>> changed;
    for (const FieldChange& change : device.plan.changedFields)
        changed.insert(change.tag);
    // Secrets in clear whatever --show-secrets says: applying the backup types them back in, and a
    // "***" would leave the new password in place.
    SecretMask clear;
    clear.setEnabled(false);
    const QJsonObject all = settableFields(asLoaded, clear);
    BackupEntry entry;
    QJsonObject set;
    for (auto it = all.begin(); it != all.end(); ++it) {
        const std::string tag = toLatin1(it.key());
        if (!changed.contains(tag))
            continue;
        set.insert(it.key(), it.value());
        const FieldDef* field = device.window->fieldByName(tag);
        if (field && field->secret && !it.value().toString().isEmpty())
            entry.holdsSecrets = true;
    }
    // The undo asks the device with the password it checks once this change holds: the new one when
    // the change sets it.
    const std::string password = VerifyExchange::passwordAfterUpdate(device.password, *device.window, device.plan);
    if (!password.empty())
        entry.holdsSecrets = true;
    entry.json = QJsonObject{{QStringLiteral("device"), fromLatin1(device.macText)},
                             {QStringLiteral("window"), fromLatin1(device.window->name)},
                             {QStringLiteral("password"), fromLatin1(password)},
                             {QStringLiteral("set"), set}};
    return entry;
}

std::optional<QString> writeBackup(const PrivateFile& file, const std::vector<BackupEntry>& devices)
{
    QJsonArray list;
    for (const BackupEntry& device : devices)
        list.append(device.json);
    const QByteArray bytes =
        QJsonDocument(QJsonObject{{QStringLiteral("devices"), list}}).toJson(QJsonDocument::Indented);
    if (const std::optional<QString> failed = file.replace(bytes))
        return QStringLiteral("cannot write the backup %1: %2").arg(printableName(file.path()), *failed);
    return std::nullopt;
}

QString backupSecretsNote(const QString& path)
{
    return QStringLiteral("the backup %1 holds passwords in clear (file mode 0600)\n").arg(printableName(path));
}

} // namespace lv
