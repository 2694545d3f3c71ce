// SPDX-License-Identifier: Apache-2.0
// The undo plan of --backup.

#include "backupplan.h"
#include "optionnames.h"

#include "latin1.h"
#include "output.h"
#include "secretmask.h"
#include "setupform.h"
#include "verifyexchange.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <set>

#if defined(Q_OS_WIN)
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lv {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The temporary file's bytes on disk before it replaces the backup: the set command goes out only
// once the undo plan would survive a crash or a power loss.
std::optional<QString> syncToDisk(QSaveFile& file)
{
#if defined(Q_OS_WIN)
    if (::_commit(file.handle()) != 0)
        return systemError(errno);
#else
    if (::fsync(file.handle()) != 0)
        return systemError(errno);
#endif
    return std::nullopt;
}

// The directory's entry of the renamed file on disk too; a file system that cannot sync a directory
// (EINVAL) keeps it as it keeps any rename.
std::optional<QString> syncDirectory([[maybe_unused]] const QString& path)
{
#if !defined(Q_OS_WIN)
    const int dir = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_CLOEXEC);
    if (dir < 0)
        return systemError(errno);
    const int synced = ::fsync(dir);
    const int error = errno;
    ::close(dir);
    if (synced != 0 && error != EINVAL)
        return systemError(error);
#endif
    return std::nullopt;
}

// Opens the temporary file QSaveFile writes beside `file`'s name, created readable by its owner alone
// so that no other user can open it before its mode is set.
bool openPrivately(QSaveFile& file)
{
#if defined(Q_OS_WIN)
    return file.open(QIODevice::WriteOnly);
#else
    const mode_t before = ::umask(077);
    const bool opened = file.open(QIODevice::WriteOnly);
    ::umask(before);
    return opened;
#endif
}

} // namespace

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

std::optional<QString> backupPathRefused(const QString& path)
{
    if (path == QLatin1String("-"))
        return QStringLiteral("--backup - is refused: standard output carries the command's report; name a file");
    const QFileInfo info(path);
    if (info.isSymLink() || info.isJunction())
        return QStringLiteral("the backup %1 is a symbolic link: its target would be replaced; name the file itself")
            .arg(printableName(path));
    if (info.exists() && !info.isFile())
        return QStringLiteral("the backup %1 exists and is no regular file (a directory, device or FIFO)")
            .arg(printableName(path));
    return std::nullopt;
}

std::optional<QString> writeBackup(const QString& path, const std::vector<QJsonObject>& devices)
{
    if (std::optional<QString> refused = backupPathRefused(path))
        return refused;
    const auto cannot = [&path](const QString& why) {
        return QStringLiteral("cannot write the backup %1: %2").arg(printableName(path), why);
    };
    QJsonArray list;
    for (const QJsonObject& device : devices)
        list.append(device);
    const QByteArray bytes =
        QJsonDocument(QJsonObject{{QStringLiteral("devices"), list}}).toJson(QJsonDocument::Indented);
    // Written to a temporary file that replaces the backup once whole; until then the old one stays,
    // and a failure removes the temporary file with the QSaveFile.
    QSaveFile file(path);
    if (!openPrivately(file))
        return cannot(file.errorString());
    // QSaveFile gives the temporary file an existing backup's mode: it holds secrets, so its owner's alone.
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return cannot(file.errorString());
    // Written through the QSaveFile's buffer: a full disk shows in flush(), which commit() does not check.
    if (file.write(bytes) != bytes.size() || !file.flush())
        return cannot(file.errorString());
    if (const std::optional<QString> failed = syncToDisk(file))
        return cannot(*failed);
    if (!file.commit())
        return cannot(file.errorString());
    // QSaveFile writes to the target of a link it finds as it opens: one put there since the check
    // above had its target replaced, and the run stops.
    const QFileInfo written(path);
    if (written.isSymLink() || !written.isFile())
        return cannot(QStringLiteral("it became a symbolic link or another kind of file while it was written"));
    if (const std::optional<QString> failed = syncDirectory(path))
        return cannot(*failed);
    return std::nullopt;
}

QString backupSecretsNote(const QString& path)
{
    return QStringLiteral("the backup %1 holds passwords in clear (file mode 0600)\n").arg(printableName(path));
}

Expected<std::optional<QString>> backupOption(const QCommandLineParser& parser)
{
    if (!isSet(parser, kOptBackup))
        return std::optional<QString>();
    const QString path = valueOf(parser, kOptBackup);
    if (const std::optional<QString> refused = backupPathRefused(path))
        return Failure{kExitUsage, *refused + QStringLiteral("; nothing was sent")};
    return std::optional<QString>(path);
}

} // namespace lv
