// SPDX-License-Identifier: Apache-2.0
#pragma once

// The program-wide values of one run. Nothing is stored between runs.

#include "loaders.h"
#include "modeltable.h"

#include <QHostAddress>
#include <QString>

#include <optional>

namespace lv {

struct SessionState {
    quint16 gCmdPort = 65535; // command port
    QString gSetupPass;       // setup password sent with every configuration request
    QString gMacPass;         // access code of the MAC service
    // The values as loaded, against which every Update compares: of the last single-port load, and
    // the one snapshot that both multi-port families share.
    LoadedValues LoadedConfig;
    LoadedValues MultiPortSnapshot;
    // Where commands go: the LAN broadcast address unless the command line says otherwise.
    QHostAddress broadcast{QHostAddress::Broadcast};
    // The network interface the search keeps to, by name; empty: every interface.
    QString interfaceName;
};

// The command-port rule of the input box: a numeric text is rounded to a whole
// number ("####0"); it is taken when it lies within 0..65535. Returns the port,
// or nothing when the entry must be refused.
std::optional<quint16> normaliseCommandPort(const QString& entry);

} // namespace lv
