// SPDX-License-Identifier: Apache-2.0
// The command-port rule of the input box.

#include "sessionstate.h"

#include <QRegularExpression>

#include <cmath>

namespace lv {

std::optional<quint16> normaliseCommandPort(const QString& entry)
{
    // A numeric entry: optional sign, digits with an optional decimal part and
    // exponent, blanks around it allowed. Anything else is refused.
    static const QRegularExpression numeric(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?\s*$)"));
    if (!numeric.match(entry).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = entry.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    // "####0" rounds half away from zero.
    const double rounded = std::round(value);
    if (rounded < 0.0 || rounded > 65535.0)
        return std::nullopt;
    return static_cast<quint16>(rounded);
}

} // namespace lv
