// SPDX-License-Identifier: Apache-2.0
// Reading secrets from a file, the environment or the terminal.

#include "secretinput.h"

#include "inputfile.h"
#include "terminalsecret.h"

namespace lv {

std::optional<QString> firstLineOfFile(const QString& path, QString* error)
{
    const std::optional<QByteArray> bytes = readInputFile(path, kMaxSecretFileBytes, error);
    if (!bytes)
        return std::nullopt;
    const qsizetype end = bytes->indexOf('\n');
    QByteArray line = end < 0 ? *bytes : bytes->left(end);
    // One line end only: a CR left inside is part of the secret, and secretRefusal refuses it.
    if (line.endsWith('\r'))
        line.chop(1);
    // Text files are UTF-8, as the terminal and the environment are: the secret goes out as the same
    // Latin-1 bytes wherever it came from (bytes that are not UTF-8 become U+FFFD and are refused).
    return QString::fromUtf8(line);
}

std::optional<QString> secretFromEnvironment(const char* variable)
{
    if (!qEnvironmentVariableIsSet(variable))
        return std::nullopt;
    return qEnvironmentVariable(variable);
}

std::optional<QString> promptForSecret(const QString& prompt)
{
    if (!stdinIsTerminal())
        return std::nullopt;
    return readSecretFromTerminal(prompt);
}

} // namespace lv
