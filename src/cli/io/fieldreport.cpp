// SPDX-License-Identifier: Apache-2.0
// The changes of an Update and the findings of its check, as text and JSON.

#include "fieldreport.h"

#include "clicontext.h"
#include "latin1.h"
#include "output.h"
#include "secretmask.h"

namespace lv {

namespace {

bool secretField(const WindowDef* window, const std::string& tag)
{
    const FieldDef* field = window ? window->fieldByTag(tag) : nullptr;
    return field && field->secret;
}

bool hiddenSecret(const CliContext& context, const WindowDef* window, const std::string& tag, const std::string& value)
{
    return secretField(window, tag) && !context.options().showSecrets && !value.empty();
}

// A value as a person reads it: a list's index as the entry it stands for (a value masked already stays).
QJsonValue labelJson(const CliContext& context, const WindowDef* window, const std::string& tag,
                     const std::string& value)
{
    if (const std::string* entry = FieldDef::entryFor(window, tag, value))
        return jsonText(*entry);
    return context.maskedJson(value);
}

// The same value as it goes on the wire, for a script that compares or sends it.
QJsonValue wireJson(const CliContext& context, const WindowDef* window, const std::string& tag,
                    const std::string& value)
{
    if (hiddenSecret(context, window, tag, value))
        return fromLatin1(kMaskedSecret);
    return context.maskedJson(value);
}

QJsonValue jsonValue(const CliContext& context, const WindowDef* window, const std::string& tag,
                     const std::string& value)
{
    if (hiddenSecret(context, window, tag, value))
        return fromLatin1(kMaskedSecret);
    return labelJson(context, window, tag, value);
}

} // namespace

QString fieldValueText(const CliContext& context, const WindowDef* window, const std::string& tag,
                       const std::string& value)
{
    if (hiddenSecret(context, window, tag, value))
        return fromLatin1(kMaskedSecret);
    return listEntryText(context, window, tag, value);
}

QString listEntryText(const CliContext& context, const WindowDef* window, const std::string& tag,
                      const std::string& value)
{
    if (const std::string* entry = FieldDef::entryFor(window, tag, value))
        return printableText(*entry);
    return context.maskedText(value);
}

QString changesText(const CliContext& context, const UpdatePlan& plan, const WindowDef* window, const QString& indent)
{
    QString text;
    for (const FieldChange& change : plan.changedFields)
        text += indent + QStringLiteral("%1: %2 -> %3\n")
                             .arg(printableText(change.tag), fieldValueText(context, window, change.tag, change.loaded),
                                  fieldValueText(context, window, change.tag, change.current));
    return text;
}

QJsonArray changesJson(const CliContext& context, const UpdatePlan& plan, const WindowDef* window)
{
    QJsonArray fields;
    for (const FieldChange& change : plan.changedFields)
        fields.append(QJsonObject{{QStringLiteral("tag"), jsonText(change.tag)},
                                  {QStringLiteral("loaded"), jsonValue(context, window, change.tag, change.loaded)},
                                  {QStringLiteral("new"), jsonValue(context, window, change.tag, change.current)},
                                  {QStringLiteral("loadedValue"), wireJson(context, window, change.tag, change.loaded)},
                                  {QStringLiteral("newValue"), wireJson(context, window, change.tag, change.current)}});
    return fields;
}

QString verifyResultName(VerifyExchange::Outcome outcome)
{
    switch (outcome) {
    case VerifyExchange::Outcome::Verified:
        return QStringLiteral("verified");
    case VerifyExchange::Outcome::Mismatch:
        return QStringLiteral("mismatch");
    case VerifyExchange::Outcome::NoAnswer:
    case VerifyExchange::Outcome::Aborted: // cut short by a signal: it got no answer in time
        break;
    }
    return QStringLiteral("no answer");
}

void maskVerifiedSecrets(const CliContext& context, const WindowDef& window, VerifyResult& result)
{
    if (context.options().showSecrets)
        return;
    for (VerifiedField& field : result.fields)
        if (secretField(&window, field.tag)) {
            const bool same = field.matches();
            field.sent = std::string(kMaskedSecret);
            field.reported = same ? field.sent : std::string(kMaskedSecret) + " (not as sent)";
        }
}

QString mismatchText(const CliContext& context, const VerifyResult& result, const WindowDef* window,
                     const QString& indent)
{
    QString text;
    if (result.outcome != VerifyExchange::Outcome::Mismatch)
        return text;
    for (const VerifiedField& field : result.fields)
        if (!field.matches())
            text += indent + QStringLiteral("%1: sent %2, reported %3\n")
                                 .arg(printableText(field.tag), listEntryText(context, window, field.tag, field.sent),
                                      listEntryText(context, window, field.tag, field.reported));
    return text;
}

QJsonObject verifyJson(const CliContext& context, const VerifyResult& result, const WindowDef* window)
{
    // Secrets were masked by maskVerifiedSecrets already; "*** (not as sent)" is no wire value to mask again.
    QJsonArray fields;
    for (const VerifiedField& field : result.fields)
        fields.append(QJsonObject{{QStringLiteral("tag"), jsonText(field.tag)},
                                  {QStringLiteral("sent"), labelJson(context, window, field.tag, field.sent)},
                                  {QStringLiteral("reported"), labelJson(context, window, field.tag, field.reported)},
                                  {QStringLiteral("sentValue"), context.maskedJson(field.sent)},
                                  {QStringLiteral("reportedValue"), context.maskedJson(field.reported)}});
    return QJsonObject{{QStringLiteral("result"), verifyResultName(result.outcome)},
                       {QStringLiteral("fields"), fields}};
}

} // namespace lv
