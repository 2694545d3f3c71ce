// SPDX-License-Identifier: Apache-2.0
// The CSV plan of linkvane-cli apply on arbitrary text: it is either read or refused with a message that
// names the row (and the column where there is one); a table that is read maps each entry to a row of its
// own, in order; a refusal of the plan's checks always finds its row; and any values, cut from the input
// at the 0xFF 0xFF markers and written as export writes a CSV plan, read back as they were.

#include "csvplan.h"

#include "fuzzcheck.h"
#include "fuzzinput.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

// Values cut from the input, three a row (the device and the fields "a" and "b"), written and read
// back: the entries with every value that is not empty, rows of nothing but empty cells left out.
void checkAnyValues(std::string_view input)
{
    const std::vector<std::string_view> chunks = splitChunks(input);
    std::vector<lv::CsvPlanRow> rows;
    QJsonArray expected;
    for (std::size_t i = 0; i + 3 <= chunks.size(); i += 3) {
        const auto text = [&](std::size_t k) {
            return QString::fromUtf8(chunks[i + k].data(), static_cast<qsizetype>(chunks[i + k].size()));
        };
        lv::CsvPlanRow row{text(0), {{QStringLiteral("a"), text(1)}, {QStringLiteral("b"), text(2)}}};
        QJsonObject entry;
        QJsonObject set;
        if (!row.device.isEmpty())
            entry.insert(QStringLiteral("device"), row.device);
        for (const auto& [name, value] : row.set)
            if (!value.isEmpty())
                set.insert(name, value);
        if (!set.isEmpty())
            entry.insert(QStringLiteral("set"), set);
        if (!entry.isEmpty())
            expected.append(entry);
        rows.push_back(std::move(row));
    }
    QString error;
    const std::optional<lv::CsvTable> table = lv::readCsvTable(lv::csvPlanText(rows), &error);
    check(table.has_value());
    check(table->plan.value(QStringLiteral("devices")).toArray() == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    checkAnyValues(std::string_view(text.constData(), size));
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
        check(!lv::readPlanCsv(text, &error) && error == lv::tableError(*table, planError));
    }
    return 0;
}
