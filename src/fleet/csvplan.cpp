// SPDX-License-Identifier: Apache-2.0
// Plans of linkvane-cli as CSV tables: read into a plan's object, and written from an export.

#include "csvplan.h"

#include "showntext.h"

#include <QHash>
#include <QJsonArray>
#include <QRegularExpression>
#include <QStringDecoder>

namespace lv {

namespace {

// The columns that are an entry's own keys; every other one is a field of its "set".
const QStringList kEntryKeys{QStringLiteral("device"), QStringLiteral("select"), QStringLiteral("window"),
                             QStringLiteral("password")};

// "row 3, column B (SIOBaud)", or without the name when the column has none (yet).
QString where(int row, int column, const QString& name = QString())
{
    QString text = QStringLiteral("row %1, column %2").arg(row).arg(columnLetters(column));
    if (!name.isEmpty())
        text += QStringLiteral(" (%1)").arg(printableName(name));
    return text;
}

// The separator a header row uses: ';' when it holds one outside quotes and no ',', else ','.
char separatorOf(const QByteArray& text, qsizetype pos)
{
    bool quoted = false;
    bool semicolon = false;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == ',')
            return ',';
        else if (c == ';')
            semicolon = true;
        else if (c == '\r' || c == '\n')
            break;
    }
    return semicolon ? ';' : ',';
}

// A spreadsheet runs a cell that starts with one of these as a formula.
bool startsFormula(char c)
{
    return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}

// The apostrophe a cell is written with so that no spreadsheet runs it: before a value that starts a
// formula, and before a value that starts with an apostrophe the reader would take for one.
bool guardedCell(const QByteArray& cell)
{
    return cell.size() > 1 && cell[0] == '\'' && (startsFormula(cell[1]) || cell[1] == '\'');
}

// Reads one record (a spreadsheet row, line ends inside quotes included) from `pos` on, as bytes.
bool readRecord(const QByteArray& text, qsizetype& pos, char separator, int row, std::vector<QByteArray>& cells,
                QString* error)
{
    cells.clear();
    const qsizetype size = text.size();
    for (;;) {
        const int column = static_cast<int>(cells.size());
        QByteArray cell;
        if (pos < size && text[pos] == '"') {
            for (++pos;; ++pos) {
                if (pos >= size) {
                    *error = where(row, column) + QStringLiteral(": the quote that opens the cell is never closed");
                    return false;
                }
                if (text[pos] == '"') {
                    if (pos + 1 < size && text[pos + 1] == '"') {
                        cell += '"';
                        ++pos;
                        continue;
                    }
                    ++pos;
                    break;
                }
                cell += text[pos];
            }
            if (pos < size && text[pos] != separator && text[pos] != '\r' && text[pos] != '\n') {
                *error = where(row, column) + QStringLiteral(": text after the quote that closes the cell");
                return false;
            }
        } else {
            const qsizetype start = pos;
            while (pos < size && text[pos] != separator && text[pos] != '\r' && text[pos] != '\n') {
                if (text[pos] == '"') {
                    *error = where(row, column) +
                             QStringLiteral(": a quote inside a cell that does not start with one (quote the whole "
                                            "cell and double the quotes in it)");
                    return false;
                }
                ++pos;
            }
            cell = text.mid(start, pos - start);
        }
        if (guardedCell(cell))
            cell.remove(0, 1);
        cells.push_back(std::move(cell));
        if (pos < size && text[pos] == separator) {
            ++pos;
            continue;
        }
        // A line end (CRLF, LF or CR) or the end of the text.
        if (pos < size && text[pos] == '\r') {
            ++pos;
            if (pos < size && text[pos] == '\n')
                ++pos;
        } else if (pos < size && text[pos] == '\n') {
            ++pos;
        }
        return true;
    }
}

// A cell's bytes as UTF-8 text; none when they are not UTF-8. A byte-order mark is skipped at the start
// of the text only: in a cell it is a character like any other, for the plan's checks to judge.
std::optional<QString> utf8Text(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QByteArray csvCell(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.isEmpty() && (startsFormula(bytes[0]) || guardedCell(bytes)))
        bytes.prepend('\'');
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\r') && !bytes.contains('\n'))
        return bytes;
    bytes.replace("\"", "\"\"");
    return '"' + bytes + '"';
}

} // namespace

bool isEntryColumn(const QString& name)
{
    return kEntryKeys.contains(name);
}

QString columnLetters(int index)
{
    QString letters;
    for (int n = index + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters;
}

std::optional<CsvTable> readCsvTable(const QByteArray& text, QString* error)
{
    qsizetype pos = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    if (pos >= text.size()) {
        *error = QStringLiteral("row 1: no header row (device, then the fields)");
        return std::nullopt;
    }
    const char separator = separatorOf(text, pos);
    CsvTable table;
    std::vector<QByteArray> cells;
    if (!readRecord(text, pos, separator, 1, cells, error))
        return std::nullopt;
    QHash<QString, int> columnOf;
    for (int column = 0; column < static_cast<int>(cells.size()); ++column) {
        const std::optional<QString> name = utf8Text(cells[static_cast<std::size_t>(column)]);
        if (!name) {
            *error = where(1, column) + QStringLiteral(": the name is not UTF-8 text");
            return std::nullopt;
        }
        if (name->isEmpty()) {
            *error = where(1, column) + QStringLiteral(": the column has no name");
            return std::nullopt;
        }
        if (columnOf.contains(*name)) {
            *error = where(1, column, *name) +
                     QStringLiteral(": the header names it twice (also column %1)").arg(columnLetters(columnOf[*name]));
            return std::nullopt;
        }
        columnOf.insert(*name, column);
        table.header.append(*name);
    }

    QJsonArray devices;
    for (int row = 2; pos < text.size(); ++row) {
        if (!readRecord(text, pos, separator, row, cells, error))
            return std::nullopt;
        if (cells.size() > static_cast<std::size_t>(table.header.size())) {
            *error = where(row, static_cast<int>(table.header.size())) +
                     QStringLiteral(": more cells than the header names columns (%1)").arg(table.header.size());
            return std::nullopt;
        }
        QJsonObject entry;
        QJsonObject set;
        for (int column = 0; column < static_cast<int>(cells.size()); ++column) {
            const QString& name = table.header[column];
            const std::optional<QString> value = utf8Text(cells[static_cast<std::size_t>(column)]);
            if (!value) {
                *error = where(row, column, name) + QStringLiteral(": the cell is not UTF-8 text");
                return std::nullopt;
            }
            if (value->isEmpty())
                continue;
            if (kEntryKeys.contains(name))
                entry.insert(name, *value);
            else
                set.insert(name, *value);
        }
        if (entry.isEmpty() && set.isEmpty())
            continue;
        if (!set.isEmpty())
            entry.insert(QStringLiteral("set"), set);
        devices.append(entry);
        table.rows.push_back(row);
    }
    table.plan.insert(QStringLiteral("devices"), devices);
    return table;
}

QString tableError(const CsvTable& table, const QString& planError)
{
    static const QRegularExpression entry(QStringLiteral("^devices\\[(\\d+)\\]"));
    const QRegularExpressionMatch match = entry.match(planError);
    const std::size_t index = match.hasMatch() ? match.captured(1).toULongLong() : table.rows.size();
    if (index >= table.rows.size())
        return planError;
    const int row = table.rows[index];
    const QString rest = planError.mid(match.capturedLength());
    // The column the rest of the path names: a key of the entry, or a field of its "set" (the longest
    // name that fits, as a field's name may hold a dot or a colon).
    int column = -1;
    qsizetype pathEnd = -1;
    for (int c = 0; c < table.header.size(); ++c) {
        const QString& name = table.header[c];
        const QString path = (kEntryKeys.contains(name) ? QStringLiteral(".") : QStringLiteral(".set.")) +
                             printableName(name) + QStringLiteral(": ");
        if (rest.startsWith(path) && path.size() > pathEnd) {
            column = c;
            pathEnd = path.size();
        }
    }
    if (column >= 0)
        return where(row, column, table.header[column]) + QStringLiteral(": ") + rest.mid(pathEnd);
    // A fault of the entry as a whole ("devices[0].set: ... set the same field") names no one column.
    const qsizetype colon = rest.indexOf(QStringLiteral(": "));
    return QStringLiteral("row %1: %2").arg(row).arg(colon < 0 ? rest : rest.mid(colon + 2));
}

std::optional<Plan> readPlanCsv(const QByteArray& text, QString* error)
{
    const std::optional<CsvTable> table = readCsvTable(text, error);
    if (!table)
        return std::nullopt;
    QString planError;
    std::optional<Plan> plan = planFromJson(table->plan, &planError);
    if (!plan)
        *error = tableError(*table, planError);
    return plan;
}

QByteArray csvPlanText(const std::vector<CsvPlanRow>& rows)
{
    QStringList header{QStringLiteral("device")};
    QHash<QString, qsizetype> columnOf;
    for (const CsvPlanRow& row : rows)
        for (const auto& [name, value] : row.set)
            if (!columnOf.contains(name)) {
                columnOf.insert(name, header.size());
                header.append(name);
            }
    QByteArray text;
    QByteArrayList cells;
    for (const QString& name : header)
        cells.append(csvCell(name));
    text += cells.join(',') + "\r\n";
    for (const CsvPlanRow& row : rows) {
        cells = QByteArrayList(header.size());
        cells[0] = csvCell(row.device);
        for (const auto& [name, value] : row.set)
            cells[columnOf.value(name)] = csvCell(value);
        text += cells.join(',') + "\r\n";
    }
    return text;
}

} // namespace lv
