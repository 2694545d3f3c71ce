// Reading secrets from a file, the environment or the terminal.

#include "secretinput.h"

#include "terminalsecret.h"

#include <QFile>
#include <QFileInfo>

namespace lv {

std::optional<QString> firstLineOfFile(const QString& path, QString* error)
{
    // Only a regular file: a FIFO or a device would keep the command waiting for ever.
    if (!QFileInfo(path).isFile()) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2")
                         .arg(path, QFileInfo::exists(path) ? QStringLiteral("not a regular file")
                                                                           : QStringLiteral("no such file"));
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QByteArray line = file.readLine(64 * 1024);
    while (line.endsWith('\n') || line.endsWith('\r'))
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
