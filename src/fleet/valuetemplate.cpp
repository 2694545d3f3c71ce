// SPDX-License-Identifier: Apache-2.0
// The templates of a plan's values.

#include "valuetemplate.h"

#include "latin1.h"
#include "showntext.h"

#include <limits>

namespace lv {

namespace {

// One template's inside ("n+10:03"), read.
struct Field {
    enum class Kind { Position, Mac, Id } kind = Kind::Position;
    qint64 offset = 0;
    int width = 0;
    bool zeros = false;
};

// Small enough that a position plus its offset, and a padded number, stay of a sensible size.
constexpr qint64 kMaxOffset = 1'000'000'000;
constexpr int kMaxWidth = 32;

std::optional<qint64> digits(QStringView text, qint64 max)
{
    if (text.isEmpty() || text.size() > 10)
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    if (value > max)
        return std::nullopt;
    return value;
}

std::optional<Field> readField(QStringView inside)
{
    Field field;
    if (inside == QLatin1String("mac")) {
        field.kind = Field::Kind::Mac;
        return field;
    }
    if (inside == QLatin1String("id")) {
        field.kind = Field::Kind::Id;
        return field;
    }
    if (!inside.startsWith(QLatin1Char('n')))
        return std::nullopt;
    QStringView rest = inside.mid(1);
    const qsizetype colon = rest.indexOf(QLatin1Char(':'));
    const QStringView format = colon < 0 ? QStringView() : rest.mid(colon + 1);
    rest = colon < 0 ? rest : rest.left(colon);
    if (!rest.isEmpty()) {
        if (rest.front() != QLatin1Char('+'))
            return std::nullopt;
        const std::optional<qint64> offset = digits(rest.mid(1), kMaxOffset);
        if (!offset)
            return std::nullopt;
        field.offset = *offset;
    }
    if (colon >= 0) {
        const std::optional<qint64> width = digits(format, kMaxWidth);
        if (!width)
            return std::nullopt;
        field.width = static_cast<int>(*width);
        field.zeros = format.front() == QLatin1Char('0');
    }
    return field;
}

// Walks the value: literal text to `literal`, each template to `field`; the fault where it does not read.
template <typename Literal, typename Take>
std::optional<QString> walk(const QString& value, Literal&& literal, Take&& take)
{
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if ((c == QLatin1Char('{') || c == QLatin1Char('}')) && i + 1 < value.size() && value[i + 1] == c) {
            literal(c);
            ++i;
            continue;
        }
        if (c == QLatin1Char('}'))
            return QStringLiteral("a lone \"}\" at character %1 (write }} for a brace)").arg(i + 1);
        if (c != QLatin1Char('{')) {
            literal(c);
            continue;
        }
        const qsizetype close = value.indexOf(QLatin1Char('}'), i + 1);
        if (close < 0)
            return QStringLiteral("\"{\" at character %1 is not closed (write {{ for a brace)").arg(i + 1);
        const QStringView inside = QStringView(value).mid(i + 1, close - i - 1);
        const std::optional<Field> field = readField(inside);
        if (!field)
            return QStringLiteral("unknown template \"{%1}\" (known: {n}, {n:03}, {n+10}, {n+10:03}, {mac}, {id}; "
                                  "{{ for a brace)")
                .arg(printableName(inside.toString()));
        take(*field);
        i = close;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> templateFault(const QString& value)
{
    if (!value.contains(QLatin1Char('{')) && !value.contains(QLatin1Char('}')))
        return std::nullopt;
    return walk(
        value, [](QChar) {}, [](const Field&) {});
}

QString expandTemplates(const QString& value, const TemplateValues& values)
{
    if (!value.contains(QLatin1Char('{')) && !value.contains(QLatin1Char('}')))
        return value;
    QString out;
    out.reserve(value.size() + 16);
    walk(
        value, [&](QChar c) { out += c; },
        [&](const Field& field) {
            switch (field.kind) {
            case Field::Kind::Mac:
                out += fromLatin1(values.mac);
                return;
            case Field::Kind::Id:
                out += fromLatin1(values.id);
                return;
            case Field::Kind::Position:
                break;
            }
            out += QString::number(values.n + field.offset)
                       .rightJustified(field.width, field.zeros ? QLatin1Char('0') : QLatin1Char(' '));
        });
    return out;
}

QString escapeTemplates(const QString& literal)
{
    QString out = literal;
    out.replace(QLatin1Char('{'), QStringLiteral("{{")).replace(QLatin1Char('}'), QStringLiteral("}}"));
    return out;
}

} // namespace lv
