// SPDX-License-Identifier: Apache-2.0
#pragma once

// Everything linkvane-cli writes: text for a person (every control character escaped) and JSON
// documents through QJsonDocument, and the error lines on standard error.

#include "showntext.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>
#include <string>
#include <string_view>

namespace lv {

// A JSON document as QJsonDocument writes it, with what it leaves raw escaped as \uNNNN: DEL, the C1
// controls, the bidirectional controls and the line and paragraph separators (U+2028, U+2029), none of
// which may reach a terminal that shows the document.
std::string escapeJsonControls(std::string_view json);

// A JSON array of flat records, written as QJsonDocument::toJson(Indented) writes the same array of
// objects and escapeJsonControls then makes of it, byte for byte, but straight from single-byte text into
// the document: a listing of thousands
// of devices then costs less to write than it took to receive. Fields are given in the order a
// QJsonObject keeps them, by key.
class JsonRecords {
public:
    // Room for `records` records of a few short fields, so the document is not copied as it grows.
    void reserve(std::size_t records) { m_json.reserve(records * 192 + 8); }
    void beginRecord();
    void field(std::string_view key, std::string_view latin1Text);
    void field(std::string_view key, bool value);
    // Text, or null when there is none.
    void fieldOrNull(std::string_view key, const std::optional<std::string_view>& latin1Text);
    // True or false, or null when it is not known.
    void fieldOrNull(std::string_view key, std::optional<bool> value);
    void endRecord();
    // The document, ended by a newline.
    std::string finish();

private:
    void key(std::string_view key);

    std::string m_json = "[\n";
    bool m_firstRecord = true;
    bool m_firstField = true;
};

// What a command reports on standard output: the one result, as text for a person or as a JSON document.
class Report {
public:
    virtual ~Report() = default;
    virtual QString text() const = 0;
    virtual QJsonValue json() const = 0;
};

class Output {
public:
    Output(QTextStream& out, QTextStream& err) : m_out(out), m_err(err) {}

    void setJson(bool json) { m_json = json; }
    // Quiet: nothing on standard output and no notes on standard error; errors still.
    void setQuiet(bool quiet) { m_quiet = quiet; }
    bool quiet() const { return m_quiet; }
    bool json() const { return m_json; }

    // Text lines as they are.
    void text(const QString& text);
    // The report as text or JSON, as the options say.
    void write(const Report& report);
    // One JSON document, indented, ended by a newline.
    void document(const QJsonValue& value);
    // A JSON document as its UTF-8 bytes.
    void documentBytes(std::string_view json);
    // "linkvane-cli: " + message on standard error; kept for errorDocument().
    void error(const QString& message);
    void note(const QString& text); // standard error as it is

    // True once writing to standard output failed (a full disk, a pipe closed while SIGPIPE is
    // ignored): what the command reports did not all arrive.
    bool outputFailed() const { return m_outputFailed; }
    // True once a document (JSON, or the CSV of an export) was written, or tried, on standard output.
    // With --json nothing else goes there but the help and the version, which do not fail.
    bool wroteDocument() const { return m_wroteDocument; }
    // The document of a command that failed before it wrote its result, so that a script reads the
    // failure as JSON too: {"error": {"exit": exitCode, "message": the error lines written so far}}.
    void errorDocument(int exitCode);

private:
    void flushOut();

    QTextStream& m_out;
    QTextStream& m_err;
    bool m_json = false;
    bool m_quiet = false;
    bool m_outputFailed = false;
    bool m_wroteDocument = false;
    QStringList m_errors;
};

} // namespace lv
