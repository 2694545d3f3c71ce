// SPDX-License-Identifier: Apache-2.0
// What the CLI writes about a fleet.

#include "fleetreport.h"

#include <QStringList>

#include <map>

namespace lv {

QString fleetSummary(const std::vector<const DeviceOutcome*>& results, int leftOut, qint64 elapsedMs)
{
    // In this order; every other result is a failure.
    static const QStringList kShown = {QStringLiteral("updated"),   QStringLiteral("would update"),
                                       QStringLiteral("unchanged"), QStringLiteral("loaded"),
                                       QStringLiteral("mismatch"),  QStringLiteral("failed"),
                                       QStringLiteral("refused")};
    std::map<QString, int> counts;
    for (const DeviceOutcome* o : results) {
        const QString text = fleetResultText(o->result);
        ++counts[kShown.contains(text) ? text : QStringLiteral("failed")];
    }
    QStringList parts;
    for (const QString& word : kShown)
        if (counts[word] > 0)
            parts << QStringLiteral("%1 %2").arg(counts[word]).arg(word);
    if (parts.isEmpty())
        parts << QStringLiteral("no device");
    if (leftOut > 0)
        parts << QStringLiteral("%1 left out by --select").arg(leftOut);
    return parts.join(QStringLiteral(", ")) +
           QStringLiteral(" in %1 s").arg(QString::number(static_cast<double>(elapsedMs) / 1000.0, 'f', 1));
}

} // namespace lv
