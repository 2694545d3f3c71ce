// Reading secrets from a file, the environment or the terminal; no core dumps.

#include "secretinput.h"

#include "terminalsecret.h"

#include <QFile>

#if defined(__linux__)
#include <sys/prctl.h>
#include <sys/resource.h>
#elif defined(_WIN32)
#include <windows.h>
#endif

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

void disableCoreDumps()
{
#if defined(__linux__)
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#elif defined(_WIN32)
    // Windows writes no dump of a crashed process unless an administrator set up
    // Windows Error Reporting's local dumps; what the process can do is keep the
    // fault dialog away, which would otherwise offer to send its memory.
    SetErrorMode(GetErrorMode() | SEM_NOGPFAULTERRORBOX);
#endif
}

} // namespace lv
