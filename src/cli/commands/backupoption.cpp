// SPDX-License-Identifier: Apache-2.0
// The --backup option of set and apply.

#include "backupoption.h"
#include "optionnames.h"

#include "backup.h"

namespace lv {

Expected<std::optional<PrivateFile>> backupOption(const QCommandLineParser& parser)
{
    if (!isSet(parser, kOptBackup))
        return std::optional<PrivateFile>();
    const QString path = valueOf(parser, kOptBackup);
    if (path == QLatin1String("-"))
        return Failure{kExitUsage,
                       QStringLiteral("--backup - is refused: standard output carries the command's report; name a "
                                      "file; nothing was sent")};
    std::optional<PrivateFile> file(std::in_place, path);
    if (const std::optional<QString> refused = backupRefused(*file))
        return Failure{kExitUsage, *refused + QStringLiteral("; nothing was sent")};
    return file;
}

} // namespace lv
