// SPDX-License-Identifier: Apache-2.0
#pragma once

// Where a secret of linkvane-cli comes from when it is not on the command line: the first line of a file,
// an environment variable or the terminal (without echo).

#include <QString>

#include <optional>

namespace lv {

// The first line of the file ("-": standard input), without its line end (LF or CR LF); no result (and
// `error` says why) when it cannot be read, is not a regular file or is larger than kMaxSecretFileBytes.
std::optional<QString> firstLineOfFile(const QString& path, QString* error);

// The variable's value when it is set (an empty value counts).
std::optional<QString> secretFromEnvironment(const char* variable);

// Asks on the terminal when standard input is one; never blocks otherwise.
std::optional<QString> promptForSecret(const QString& prompt);

} // namespace lv
