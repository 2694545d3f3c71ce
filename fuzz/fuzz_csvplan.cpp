// SPDX-License-Identifier: Apache-2.0
// The CSV plan of linkvane-cli apply on arbitrary text: it is either read or refused with a message that
// names the row (and the column where there is one); a table that is read maps each entry to a row of its
// own, in order; a refusal of the plan's checks always finds its row; and the devices and fields of a
// table, written out as export writes a CSV plan, read back the same.

#include "csvplan.h"

#include "fuzzcheck.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

// The entries that export could have written: a device or a field (an entry of only a password or a
// window is a row that export never writes).
QJsonArray writable(const QJsonArray& devices)
{
    QJsonArray kept;
    for (const QJsonValue& value : devices) {
        const QJsonObject entry = value.toObject();
        QJsonObject same;
        if (entry.contains(QStringLiteral("device")))
            same.insert(QStringLiteral("device"), entry.value(QStringLiteral("device")));
        if (entry.contains(QStringLiteral("set")))
            same.insert(QStringLiteral("set"), entry.value(QStringLiteral("set")));
        if (!same.isEmpty())
            kept.append(same);
    }
    return kept;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const std::optional<lv::CsvTable> table = lv::readCsvTable(text, &error);
    if (!table) {
        check(error.startsWith(QStringLiteral("row ")));
        return 0;
    }
    const QJsonArray devices = table->plan.value(QStringLiteral("devices")).toArray();
    check(table->rows.size() == static_cast<std::size_t>(devices.size()));
    for (std::size_t i = 0; i < table->rows.size(); ++i)
        check(table->rows[i] >= 2 && (i == 0 || table->rows[i] > table->rows[i - 1]));

    QString planError;
    if (!lv::planFromJson(table->plan, &planError)) {
        check(lv::tableError(*table, planError).startsWith(QStringLiteral("row ")));
        check(!lv::parseCsvPlan(text, &error) && error == lv::tableError(*table, planError));
    }

    // Written as export writes a CSV plan, in the header's order, and read again: the same entries.
    std::vector<lv::CsvPlanRow> rows;
    const QJsonArray kept = writable(devices);
    for (const QJsonValue& value : kept) {
        lv::CsvPlanRow row{value[QStringLiteral("device")].toString(), {}};
        const QJsonObject set = value[QStringLiteral("set")].toObject();
        for (const QString& name : table->header)
            if (set.contains(name))
                row.set.emplace_back(name, set.value(name).toString());
        rows.push_back(std::move(row));
    }
    QString againError;
    const std::optional<lv::CsvTable> again = lv::readCsvTable(lv::csvPlanText(rows), &againError);
    check(again.has_value());
    check(again->plan.value(QStringLiteral("devices")).toArray() == kept);
    return 0;
}
