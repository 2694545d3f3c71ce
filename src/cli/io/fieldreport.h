// SPDX-License-Identifier: Apache-2.0
#pragma once

// How set and apply show fields a person reviews: the changes an Update makes (each field's value as
// loaded and the new one, before anything is sent) and what a check after the Update found (each
// field's value sent and the value the device reports). Lists show the entry a value stands for,
// secrets "***" unless --show-secrets.

#include "catalogue.h"
#include "updateplan.h"
#include "verifyexchange.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <string>

namespace lv {

class CliContext;

// A field's value for a person: a list's index as the entry it stands for, a secret masked.
QString fieldValueText(const CliContext& context, const WindowDef* window, const std::string& tag,
                       const std::string& value);

// The same without masking secrets (for values masked already): a list's index as its entry.
QString listEntryText(const CliContext& context, const WindowDef* window, const std::string& tag,
                      const std::string& value);

// "  TAG: LOADED -> NEW" for each field the Update changes, each line indented by `indent`.
QString changesText(const CliContext& context, const UpdatePlan& plan, const WindowDef* window, const QString& indent);
// [{"tag", "loaded", "new", "loadedValue", "newValue"}]: "loaded" and "new" as the text shows them (lists
// by their entries), the ...Value keys as they go on the wire (a list's index); secrets masked in both.
QJsonArray changesJson(const CliContext& context, const UpdatePlan& plan, const WindowDef* window);

// "verified", "mismatch" or "no answer".
QString verifyResultName(VerifyExchange::Outcome outcome);
// A secret field's values masked, unless --show-secrets: "***", "*** (not as sent)" when they differ.
void maskVerifiedSecrets(const CliContext& context, const WindowDef& window, VerifyResult& result);
// "  TAG: sent S, reported R" for each field that differs, each line indented by `indent` (after
// maskVerifiedSecrets).
QString mismatchText(const CliContext& context, const VerifyResult& result, const WindowDef* window,
                     const QString& indent);
// {"result", "fields": [{"tag", "sent", "reported", "sentValue", "reportedValue"}]}: "sent" and "reported"
// as the text shows them (lists by their entries), the ...Value keys as on the wire (after
// maskVerifiedSecrets).
QJsonObject verifyJson(const CliContext& context, const VerifyResult& result, const WindowDef* window);

} // namespace lv
