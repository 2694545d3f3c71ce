// SPDX-License-Identifier: Apache-2.0
#pragma once

// Values of a plan that number the devices they reach:
//
//   {n}        the device's position among the devices its plan entry names, from 1
//   {n:03}     the same, zero-padded to 3 digits ({n:3} pads with blanks)
//   {n+10}     offset: 11, 12, ... ({n+10:03} too)
//   {mac}      the device's MAC text (00-50-C2-01-02-03)
//   {id}       its device ID as the search found it
//   {{ and }}  a brace as it is
//
// A plan's values are checked when it is read; expansion then cannot fail. The values that come out
// go through the same checks as values typed in.

#include <QString>

#include <optional>
#include <string_view>

namespace lv {

struct TemplateValues {
    int n = 1;
    std::string_view mac;
    std::string_view id;
};

// What is wrong with the templates of `value`; nothing when it reads.
std::optional<QString> templateFault(const QString& value);

// `value` with its templates replaced; `value` must have passed templateFault.
QString expandTemplates(const QString& value, const TemplateValues& values);

// A literal value written where templates are read: every brace doubled, so that it reads back as it is.
QString escapeTemplates(const QString& literal);

} // namespace lv
