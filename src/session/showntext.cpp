// SPDX-License-Identifier: Apache-2.0
// The escapes every shown text goes through.

#include "showntext.h"

#include "latin1.h"
#include "printable.h"

#include <algorithm>

namespace lv {

QString printableText(std::string_view bytes)
{
    return fromLatin1(escapeBytes(bytes));
}

namespace {

// A character that moves, hides or controls text, so that it must be shown as an escape.
bool steersText(char16_t c)
{
    if (c < 0x20 || (c >= 0x7f && c < 0xa0) || isBidiControl(c))
        return true;
    if (c < 0x2000)
        return false;
    const QChar::Category category = QChar(c).category();
    return category == QChar::Separator_Line || category == QChar::Separator_Paragraph ||
           category == QChar::Other_Format;
}

QString escaped(const QString& text, bool keepLineEnds, bool doubleBackslash)
{
    const auto needs = [&](QChar ch) {
        const char16_t c = ch.unicode();
        return (steersText(c) && !(keepLineEnds && c == u'\n')) || (doubleBackslash && c == u'\\');
    };
    if (std::none_of(text.begin(), text.end(), needs))
        return text;
    QString out;
    out.reserve(text.size() + 16);
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (!needs(ch))
            out += ch;
        else if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c < 0x100)
            out += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u{%1}").arg(c, 4, 16, QLatin1Char('0'));
    }
    return out;
}

} // namespace

QString printableName(const QString& text)
{
    return escaped(text, false, true);
}

QString guardedText(const QString& text)
{
    return escaped(text, true, false);
}

QString shownText(std::string_view bytes, qsizetype limit)
{
    // Only the part that can be shown is escaped.
    const std::string_view head = bytes.substr(0, static_cast<std::size_t>(limit));
    QString text = printableText(head);
    if (text.size() > limit || bytes.size() > head.size())
        text = text.left(limit - 3) + QStringLiteral("...");
    return text;
}

QJsonValue jsonText(std::string_view bytes)
{
    return fromLatin1(bytes);
}

} // namespace lv
