// Reading secrets from a file, the environment or the terminal.

#include "secretinput.h"

#include "terminalsecret.h"

#include <QFile>


namespace lv {

std::optional<QString> firstLineOfFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QByteArray line = file.readLine(64 * 1024);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    // The file holds single-byte text, as the password travels.
    return QString::fromLatin1(line);
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
