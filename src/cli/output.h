#pragma once

// Everything linkvane-cli writes: text for a person (every control character escaped) and JSON
// documents through QJsonDocument, and the error lines on standard error.

#include <QJsonValue>
#include <QString>
#include <QTextStream>

#include <string_view>

namespace lv {

// Single-byte text for a terminal: backslashes and every control character (C0, DEL and C1)
// escaped as \\ and \xNN, so nothing a device sends can steer the terminal.
QString printableText(std::string_view bytes);

// The longest text shown in a column; JSON carries every value whole.
inline constexpr qsizetype kShownTextLimit = 512;

// printableText cut to `limit` characters, the cut marked with "...": a device that answers with a
// huge field cannot pad every line of a listing.
QString shownText(std::string_view bytes, qsizetype limit = kShownTextLimit);

// Single-byte text as a JSON string value: every byte the Latin-1 character it stands for.
QJsonValue jsonText(std::string_view bytes);

class Output {
public:
    Output(QTextStream& out, QTextStream& err) : m_out(out), m_err(err) {}

    void setJson(bool json) { m_json = json; }
    bool json() const { return m_json; }

    // Text lines as they are.
    void text(const QString& text);
    // One JSON document, indented, ended by a newline.
    void document(const QJsonValue& value);
    // "linkvane-cli: " + message on standard error.
    void error(const QString& message);
    void note(const QString& text); // standard error as it is

private:
    QTextStream& m_out;
    QTextStream& m_err;
    bool m_json = false;
};

} // namespace lv
