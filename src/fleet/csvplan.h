// SPDX-License-Identifier: Apache-2.0
#pragma once

// A plan as a spreadsheet keeps it: a header row naming the columns, then a row a device.
//
//   device,ip,port1.baud,deviceId
//   00-50-C2-00-00-03,192.168.1.40,115200,Pump-7
//   192.168.1.41,,19200,"Hall 2, west"
//
// The columns "device", "select", "window" and "password" are the entry's keys of those names; every
// other column is a field (by tag or role) of its "set". An empty cell leaves the field alone, and a
// row whose cells are all empty is skipped. Comma- or semicolon-separated (semicolons when the header
// holds one and no comma), UTF-8 with or without a byte-order mark, quoted as RFC 4180 has it, lines
// ended by CRLF, LF or CR. A cell that starts with an apostrophe followed by "=", "+", "-", "@", TAB, CR
// or another apostrophe is read without that first apostrophe, the one an export writes so that no
// spreadsheet runs the cell as a formula. The table becomes the object of a JSON plan and goes through
// the same checks.

#include "plan.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace lv {

// Whether a column is one of the entry's own keys (device, select, window, password) rather than a field.
bool isEntryColumn(const QString& name);

// The JSON plan a table stands for, and where each of its entries came from.
struct CsvTable {
    QJsonObject plan;      // {"devices": [...]}
    QStringList header;    // the column names, in order
    std::vector<int> rows; // the spreadsheet row (the header being row 1) of each entry of "devices"
};

// The table read into a plan's object; no result, and `error` says the row and column, when the text
// is no table (a quote never closed, a row longer than the header, a header name empty or twice, ...).
std::optional<CsvTable> readCsvTable(const QByteArray& text, QString* error);

// A refusal of planFromJson, which names an entry by its path ("devices[2].set.SIOBaud: ..."), said
// by where it stands in the table ("row 4, column C (SIOBaud): ...").
QString tableError(const CsvTable& table, const QString& planError);

// Reads and checks a CSV plan as readPlanJson reads a JSON one.
std::optional<Plan> readPlanCsv(const QByteArray& text, QString* error);

// A spreadsheet's name of a column: A for the first, Z, AA, AB, ...
QString columnLetters(int index);

// One device of an export: its name and its fields in the window's order.
struct CsvPlanRow {
    QString device;
    std::vector<std::pair<QString, QString>> set;
};

// The devices as a CSV plan: the header "device" and the union of the field names in the order first
// seen, a row a device (a field it lacks is an empty cell); comma-separated, CRLF line ends, a cell
// quoted when it holds a comma, a quote, CR or LF; UTF-8 without a byte-order mark. A value that starts
// with "=", "+", "-", "@", TAB or CR (a formula to a spreadsheet), or with an apostrophe the reader would
// take away, is written after an apostrophe; reading the text gives every value back as it was.
QByteArray csvPlanText(const std::vector<CsvPlanRow>& rows);

} // namespace lv
