// SPDX-License-Identifier: Apache-2.0
#pragma once

// How text from a device or from a person is shown to a person, by every front end alike: bytes from
// the wire and names typed or read from a plan, escaped so that nothing steers a terminal or a line of
// the window, cut where a column ends, and carried whole into JSON.

#include <QJsonValue>
#include <QString>

#include <string_view>

namespace lv {

// Single-byte text for a terminal: backslashes and every control character (C0, DEL and C1)
// escaped as \\ and \xNN, so nothing a device sends can steer the terminal.
QString printableText(std::string_view bytes);

// Text a person typed or a plan holds, for a message: escaped as printableText escapes bytes (a
// backslash doubled; C0, DEL and C1 controls as \xNN), and also the characters beyond Latin-1 that
// move or hide text: line and paragraph separators, format characters such as the bidirectional
// overrides, and every bidirectional control (U+061C too), as \u{NNNN}. A name cannot break a line of output or pass
// for another.
QString printableName(const QString& text);

// The last guard of every line written: the controls and the characters above left in `text`
// escaped as printableName escapes them, except the line ends the text is made of. Text with
// nothing to escape is returned as it is.
QString guardedText(const QString& text);

// The longest text shown in a column; JSON carries every value whole.
inline constexpr qsizetype kShownTextLimit = 512;

// printableText cut to `limit` characters, the cut marked with "...": a device that answers with a
// huge field cannot pad every line of a listing.
QString shownText(std::string_view bytes, qsizetype limit = kShownTextLimit);

// Single-byte text as a JSON string value: every byte the Latin-1 character it stands for.
QJsonValue jsonText(std::string_view bytes);

} // namespace lv
