// SPDX-License-Identifier: Apache-2.0
#pragma once

// Help text laid out for the reader's terminal: paragraphs wrapped to its width, option and
// command tables with their descriptions in a hanging column, and the nearest name to a mistyped one.

#include <QString>
#include <QStringList>

#include <optional>

namespace lv {

// The width help is wrapped to: the terminal's columns when standard output is one, else 80.
inline constexpr int kDefaultHelpWidth = 80;
int helpWidth();

// `text` wrapped to `width` columns: every line after the first of a paragraph starts with `indent`
// spaces, the first with `firstIndent`. Newlines in `text` are kept (a blank line stays a blank
// line); a line that starts with a space is taken as laid out already and kept whole when it fits.
// A word longer than the room is put on a line of its own rather than cut.
QString wrapText(const QString& text, int width, int firstIndent = 0, int indent = 0);

// A two-column table: each term, then its description wrapped in the column after the widest term
// (at most a third of the width; a longer term gets its description on the next line).
struct HelpRow {
    QString term;
    QString description;
};
QString helpTable(const QList<HelpRow>& rows, int width, int margin = 2);

// Of `candidates`, the one `typed` most likely meant: the fewest edits, when few enough for the
// length of the name; none when nothing is that near.
std::optional<QString> nearestName(const QString& typed, const QStringList& candidates);

} // namespace lv
