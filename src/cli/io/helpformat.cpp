// SPDX-License-Identifier: Apache-2.0
// Help laid out for the terminal it is read on.

#include "helpformat.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace lv {

namespace {

// Narrower than this, wrapping makes help harder to read than long lines do.
constexpr int kNarrowestWidth = 40;

QString spaces(qsizetype count)
{
    return QString(std::max<qsizetype>(count, 0), QLatin1Char(' '));
}

// One line of text filled word by word; a word that does not fit after the indent stands alone.
void appendFilled(QString& out, const QString& line, int width, qsizetype firstIndent, qsizetype indent)
{
    QString current = spaces(firstIndent);
    bool empty = true;
    for (const QString& word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!empty && current.size() + 1 + word.size() > width) {
            out += current + QLatin1Char('\n');
            current = spaces(indent);
            empty = true;
        }
        if (!empty)
            current += QLatin1Char(' ');
        current += word;
        empty = false;
    }
    out += current + QLatin1Char('\n');
}

qsizetype leadingSpaces(const QString& line)
{
    qsizetype count = 0;
    while (count < line.size() && line.at(count) == QLatin1Char(' '))
        ++count;
    return count;
}

} // namespace

int helpWidth()
{
    int columns = 0;
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (_isatty(_fileno(stdout)) && GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info))
        columns = info.srWindow.Right - info.srWindow.Left + 1;
#else
    winsize size{};
    if (isatty(STDOUT_FILENO) && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0)
        columns = size.ws_col;
#endif
    if (columns <= 0)
        return kDefaultHelpWidth;
    return std::max(columns, kNarrowestWidth);
}

QString wrapText(const QString& text, int width, int firstIndent, int indent)
{
    QString out;
    bool first = true;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const int lead = first ? firstIndent : indent;
        first = false;
        if (line.trimmed().isEmpty()) {
            out += QLatin1Char('\n');
            continue;
        }
        // A line laid out by hand (an example, a sample document) keeps its spaces when it fits;
        // otherwise its continuation lines stand a little right of its own start.
        const qsizetype own = leadingSpaces(line);
        if (own > 0 && lead + line.size() <= width) {
            out += spaces(lead) + line + QLatin1Char('\n');
            continue;
        }
        appendFilled(out, line, width, lead + own, own > 0 ? lead + own + 2 : indent);
    }
    // The last line's newline is the text's own, if it had one.
    out.chop(1);
    return out;
}

QString helpTable(const QList<HelpRow>& rows, int width, int margin)
{
    // The description column starts after the widest term, but never further than a third of the
    // width: a longer term gets its description on the lines below it.
    const qsizetype limit = std::max(width / 3, margin + 8);
    qsizetype column = 0;
    for (const HelpRow& row : rows)
        if (margin + row.term.size() + 2 <= limit)
            column = std::max(column, margin + row.term.size() + 2);
    if (column == 0)
        column = limit;
    QString out;
    for (const HelpRow& row : rows) {
        QString line = spaces(margin) + row.term;
        if (line.size() + 2 > column) {
            out += line + QLatin1Char('\n');
            line.clear();
        }
        const qsizetype start = line.size();
        const QString wrapped = wrapText(row.description, width, static_cast<int>(column), static_cast<int>(column));
        out += line + wrapped.mid(start) + QLatin1Char('\n');
    }
    return out;
}

std::optional<QString> nearestName(const QString& typed, const QStringList& candidates)
{
    // Edit distance (insertions, deletions, substitutions, and two neighbours swapped).
    const auto distance = [](const QString& a, const QString& b) {
        const qsizetype n = a.size();
        const qsizetype m = b.size();
        std::vector<std::vector<qsizetype>> d(n + 1, std::vector<qsizetype>(m + 1));
        for (qsizetype i = 0; i <= n; ++i)
            d[i][0] = i;
        for (qsizetype j = 0; j <= m; ++j)
            d[0][j] = j;
        for (qsizetype i = 1; i <= n; ++i) {
            for (qsizetype j = 1; j <= m; ++j) {
                const qsizetype cost = a.at(i - 1).toLower() == b.at(j - 1).toLower() ? 0 : 1;
                d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
                if (i > 1 && j > 1 && a.at(i - 1) == b.at(j - 2) && a.at(i - 2) == b.at(j - 1))
                    d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
        return d[n][m];
    };
    // One edit in a short name, up to a third of a longer one: further than that the guess is noise.
    const qsizetype allowed = std::max<qsizetype>(1, typed.size() / 3);
    std::optional<QString> best;
    qsizetype bestDistance = allowed + 1;
    for (const QString& candidate : candidates) {
        const qsizetype d = distance(typed, candidate);
        if (d < bestDistance) {
            bestDistance = d;
            best = candidate;
        }
    }
    return best;
}

} // namespace lv
