// SPDX-License-Identifier: Apache-2.0
#pragma once

// A value as an operator types it into a window's field, by the field's tag or its role: from the
// command line, from a plan, or from the window's bulk changes. The refusals name what the window
// would take instead.

#include "jobsteps.h"
#include "setupform.h"

#include <QString>

#include <optional>

namespace lv {

// Applies NAME=VALUE to the form as typed into the window; NAME is the field's tag or its role. The
// refusal says why the window would not take it (typedRefusalText() words it; for a name the window
// lacks it lists the window's fields and roles).
std::optional<TypedRefusal> applyTypedValue(SetupForm& form, const QString& name, const QString& value);

// The roles every window family may have, ports written once as portN: "ip, mask, ..., portN.baud, ...".
QString roleNamesText();

// Why `secret` cannot be sent, whatever it came from: a NUL ends it early for the device, a CR or LF
// breaks the command it travels in. Nothing when it can.
inline std::optional<QString> secretRefusal(const QString& secret)
{
    for (const QChar c : secret)
        if (c == u'\0' || c == u'\r' || c == u'\n')
            return QStringLiteral("holds a NUL, CR or LF (a secret is one line of text)");
    return std::nullopt;
}

} // namespace lv
