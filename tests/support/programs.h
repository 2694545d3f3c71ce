// SPDX-License-Identifier: Apache-2.0
#pragma once

// Where the tests find the three programs: the ones built beside them, unless
// LINKVANE_DEVSIM, LINKVANE_CLI or LINKVANE_GUI names another (under Wine the
// tests are handed the programs by their Windows paths).

#include <QString>

namespace testprograms {

inline QString pick(const char* variable, const char* built)
{
    const QString chosen = qEnvironmentVariable(variable);
    return chosen.isEmpty() ? QString::fromUtf8(built) : chosen;
}

inline QString devsim()
{
    return pick("LINKVANE_DEVSIM", LINKVANE_DEVSIM_PATH);
}

inline QString cli()
{
    return pick("LINKVANE_CLI", LINKVANE_CLI_PATH);
}

inline QString gui()
{
    return pick("LINKVANE_GUI", LINKVANE_GUI_PATH);
}

} // namespace testprograms
