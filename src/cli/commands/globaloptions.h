// SPDX-License-Identifier: Apache-2.0
#pragma once

// The global options of linkvane-cli: what each one means for the help, and what a command line's
// global options come to, read and checked once for every command.

#include "exchanges.h"

#include <QCommandLineOption>
#include <QHostAddress>
#include <QList>
#include <QString>

#include <optional>

class QCommandLineParser;

namespace lv {

struct GlobalOptions {
    quint16 port = 65535;
    QHostAddress broadcast{QHostAddress::Broadcast};
    std::optional<QString> password; // from --password, --password-file or LINKVANE_PASSWORD
    bool passwordFromStdin = false;  // --password-file -: standard input is taken
    int timeoutMs = kRequestTimeoutMs;
    int waitMs = 1000;
    int retries = 0; // --retries: more tries of an exchange that got no answer at all
    bool json = false;
    bool stats = false;
    bool showSecrets = false;
    bool verbose = false;
    bool quiet = false;    // only errors
    QString interfaceName; // empty: every interface
};

// The environment variable that may hold the setup password.
inline constexpr const char* kPasswordVariable = "LINKVANE_PASSWORD";

// The options every command accepts, before or after its name.
const QList<QCommandLineOption>& globalOptionList();

// Reads the global options `parser` holds into `options`, over what an earlier read of the same command
// line put there (they may stand before and after the command's name). Gives why one is wrong (exit 1),
// or nothing.
std::optional<QString> readGlobalOptions(const QCommandLineParser& parser, GlobalOptions& options);

} // namespace lv
