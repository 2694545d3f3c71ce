// SPDX-License-Identifier: Apache-2.0
#pragma once

// The files linkvane-cli reads (a plan, a password file, an access-code file): a regular file or "-"
// for standard input, and no more than a bound. Anything else (a FIFO, a device, a directory) would
// keep the command waiting for ever or fill its memory, and is refused at once.

#include <QByteArray>
#include <QString>

#include <optional>

namespace lv {

// The largest plan apply reads.
inline constexpr qint64 kMaxPlanBytes = 64 * 1024 * 1024;
// The largest file a secret is read from.
inline constexpr qint64 kMaxSecretFileBytes = 64 * 1024;

// The whole file (standard input for "-"), at most `limit` bytes; no result, and `error` says why, when
// it is not a regular file, is larger, or cannot be read.
std::optional<QByteArray> readInputFile(const QString& path, qint64 limit, QString* error);

} // namespace lv
