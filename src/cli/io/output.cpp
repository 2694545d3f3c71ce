// SPDX-License-Identifier: Apache-2.0
// The one writer of linkvane-cli's output.

#include "output.h"

#include "hex.h"
#include "latin1.h"
#include "printable.h"

#include <QFileDevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace lv {

namespace {

// A JSON string of single-byte text: the escapes QJsonDocument writes (\" \\ \b \f \n \r \t, other
// C0 controls as \u00xx), DEL and the C1 controls as \u00xx too, and every byte from 0xA0 as the UTF-8
// of the Latin-1 character it stands for.
void appendJsonString(std::string& json, std::string_view latin1)
{
    json.push_back('"');
    const auto plain = [](char ch) {
        const auto byte = static_cast<unsigned char>(ch);
        return byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\';
    };
    while (!latin1.empty()) {
        // A run of plain characters goes in at once.
        std::size_t run = 0;
        while (run < latin1.size() && plain(latin1[run]))
            ++run;
        json.append(latin1.substr(0, run));
        latin1.remove_prefix(run);
        if (latin1.empty())
            break;
        const char ch = latin1.front();
        latin1.remove_prefix(1);
        const auto byte = static_cast<unsigned char>(ch);
        if (byte >= 0xA0) {
            json.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            json.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
            continue;
        }
        json.push_back('\\');
        static constexpr std::pair<char, char> kShortEscapes[] = {{'"', '"'},  {'\\', '\\'}, {'\b', 'b'}, {'\f', 'f'},
                                                                  {'\n', 'n'}, {'\r', 'r'},  {'\t', 't'}};
        const auto* shortEscape = std::find_if(std::begin(kShortEscapes), std::end(kShortEscapes),
                                               [ch](const auto& escape) { return escape.first == ch; });
        if (shortEscape != std::end(kShortEscapes)) {
            json.push_back(shortEscape->second);
            continue;
        }
        json.append("u00", 3);
        json.push_back(hexDigit(byte >> 4, HexCase::Lower));
        json.push_back(hexDigit(byte, HexCase::Lower));
    }
    json.push_back('"');
}

} // namespace

std::string escapeJsonControls(std::string_view json)
{
    const auto appendEscape = [](std::string& out, char32_t c) {
        out.append("\\u", 2);
        for (int shift = 12; shift >= 0; shift -= 4)
            out.push_back(hexDigit(static_cast<unsigned>(c >> shift), HexCase::Lower));
    };
    std::string out;
    out.reserve(json.size());
    for (std::size_t i = 0; i < json.size(); ++i) {
        const auto byte = static_cast<unsigned char>(json[i]);
        // Only DEL and the lead bytes of the escaped characters need a look; all else is copied.
        if (byte != 0x7F && byte != 0xC2 && byte != 0xD8 && byte != 0xE2) {
            out.push_back(json[i]);
            continue;
        }
        const auto next = [&](std::size_t k) {
            return i + k < json.size() ? static_cast<unsigned char>(json[i + k]) : 0;
        };
        char32_t c = 0;
        std::size_t length = 1;
        if (byte == 0x7F) {
            c = 0x7F;
        } else if (byte == 0xC2 && next(1) >= 0x80 && next(1) <= 0x9F) {
            c = next(1);
            length = 2;
        } else if (byte == 0xD8 && next(1) == 0x9C) {
            c = 0x061C;
            length = 2;
        } else if (byte == 0xE2 && (next(1) == 0x80 || next(1) == 0x81) && next(2) >= 0x80 && next(2) <= 0xBF) {
            c = 0x2000 | ((next(1) & 0x3F) << 6) | (next(2) & 0x3F);
            length = 3;
        }
        if (c == 0x7F || (c >= 0x80 && c <= 0x9F) || isBidiControl(c) || c == 0x2028 || c == 0x2029) {
            appendEscape(out, c);
            i += length - 1;
        } else {
            out.push_back(json[i]);
        }
    }
    return out;
}

void JsonRecords::beginRecord()
{
    m_json.append(m_firstRecord ? "    {" : ",\n    {");
    m_firstRecord = false;
    m_firstField = true;
}

void JsonRecords::key(std::string_view key)
{
    m_json.append(m_firstField ? "\n        \"" : ",\n        \"");
    m_firstField = false;
    m_json.append(key);
    m_json.append("\": ", 3);
}

void JsonRecords::field(std::string_view name, std::string_view latin1Text)
{
    key(name);
    appendJsonString(m_json, latin1Text);
}

void JsonRecords::field(std::string_view name, bool value)
{
    key(name);
    m_json.append(value ? "true" : "false");
}

void JsonRecords::fieldOrNull(std::string_view name, std::optional<bool> value)
{
    key(name);
    m_json.append(!value ? "null" : *value ? "true" : "false");
}

void JsonRecords::fieldOrNull(std::string_view name, const std::optional<std::string_view>& latin1Text)
{
    key(name);
    if (latin1Text)
        appendJsonString(m_json, *latin1Text);
    else
        m_json.append("null");
}

void JsonRecords::endRecord()
{
    m_json.append("\n    }");
}

std::string JsonRecords::finish()
{
    m_json.append(m_firstRecord ? "]\n" : "\n]\n");
    return std::move(m_json);
}

void Output::write(const Report& report)
{
    if (m_json)
        document(report.json());
    else
        text(report.text());
}

void Output::flushOut()
{
    m_out.flush();
    if (m_out.status() != QTextStream::Ok)
        m_outputFailed = true;
    // A file's own buffer is written out too, so that a full disk shows now and not at exit.
    if (auto* file = qobject_cast<QFileDevice*>(m_out.device()); file && !file->flush())
        m_outputFailed = true;
}

void Output::text(const QString& text)
{
    if (m_quiet)
        return;
    m_out << guardedText(text);
    flushOut();
}

void Output::document(const QJsonValue& value)
{
    QJsonDocument doc;
    if (value.isArray())
        doc.setArray(value.toArray());
    else
        doc.setObject(value.toObject());
    const QByteArray json = doc.toJson(QJsonDocument::Indented);
    documentBytes(escapeJsonControls(std::string_view(json.constData(), static_cast<std::size_t>(json.size()))));
}

void Output::documentBytes(std::string_view json)
{
    if (m_quiet)
        return;
    m_wroteDocument = true;
    flushOut();
    // Written as the UTF-8 bytes it already is when the stream has a device (standard output), rather
    // than through a second conversion of a listing that may hold thousands of devices.
    if (QIODevice* device = m_out.device()) {
        if (device->write(json.data(), static_cast<qint64>(json.size())) != static_cast<qint64>(json.size()))
            m_outputFailed = true;
        if (auto* file = qobject_cast<QFileDevice*>(device); file && !file->flush())
            m_outputFailed = true;
        return;
    }
    m_out << QString::fromUtf8(json.data(), static_cast<qsizetype>(json.size()));
    flushOut();
}

void Output::error(const QString& message)
{
    m_errors.append(message);
    m_err << "linkvane-cli: " << guardedText(message) << "\n";
    m_err.flush();
}

void Output::errorDocument(int exitCode)
{
    document(QJsonObject{
        {QStringLiteral("error"), QJsonObject{{QStringLiteral("exit"), exitCode},
                                              {QStringLiteral("message"), m_errors.join(QLatin1Char('\n'))}}}});
}

void Output::note(const QString& text)
{
    if (m_quiet)
        return;
    m_err << guardedText(text);
    m_err.flush();
}

} // namespace lv
