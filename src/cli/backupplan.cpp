// SPDX-License-Identifier: Apache-2.0
// The undo plan of --backup.

#include "backupplan.h"

#include "latin1.h"
#include "setupform.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <set>

namespace lv {

QJsonObject backupEntry(const BackupDevice& device, const SecretMask& mask)
{
    // A form of its own, filled from the reply as the window would show it before any change.
    SetupForm asLoaded(*device.window);
    asLoaded.load(device.reply, device.portCount);
    std::set<std::string, std::less<>> changed;
    for (const FieldChange& change : device.plan.changedFields)
        changed.insert(change.tag);
    const QJsonObject all = settableFields(asLoaded, mask);
    QJsonObject set;
    for (auto it = all.begin(); it != all.end(); ++it)
        if (changed.contains(toLatin1(it.key())))
            set.insert(it.key(), it.value());
    return QJsonObject{{QStringLiteral("device"), fromLatin1(device.macText)},
                       {QStringLiteral("window"), fromLatin1(device.window->name)},
                       {QStringLiteral("set"), set}};
}

std::optional<QString> writeBackup(const QString& path, const std::vector<QJsonObject>& devices)
{
    QJsonArray list;
    for (const QJsonObject& device : devices)
        list.append(device);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write the backup %1: %2").arg(path, file.errorString());
    file.write(QJsonDocument(QJsonObject{{QStringLiteral("devices"), list}}).toJson(QJsonDocument::Indented));
    if (!file.commit())
        return QStringLiteral("cannot write the backup %1: %2").arg(path, file.errorString());
    return std::nullopt;
}

} // namespace lv
