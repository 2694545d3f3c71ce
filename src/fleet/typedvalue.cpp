// SPDX-License-Identifier: Apache-2.0
// Values typed into a window's fields.

#include "typedvalue.h"

#include "latin1.h"
#include "outcometexts.h"

#include <QRegularExpression>
#include <QStringList>

namespace lv {

QString settingNamesText(const WindowDef& window)
{
    QStringList tags;
    QStringList roles;
    for (const FieldDef& field : window.fields) {
        if (field.tag.empty() || !field.enabled || !window.sendsTag(field.tag))
            continue;
        tags.append(fromLatin1(field.tag));
        if (!field.role.empty())
            roles.append(fromLatin1(field.role));
    }
    return QStringLiteral("fields: %1; roles: %2")
        .arg(tags.join(QStringLiteral(", ")),
             roles.isEmpty() ? QStringLiteral("none") : roles.join(QStringLiteral(", ")));
}

QString roleNamesText()
{
    static const QRegularExpression portN(QStringLiteral("^port[0-9]+\\."));
    QStringList names;
    for (const std::string& role : allRoles()) {
        QString name = fromLatin1(role);
        name.replace(portN, QStringLiteral("portN."));
        if (!names.contains(name))
            names.append(name);
    }
    return names.join(QStringLiteral(", "));
}

std::optional<QString> applyTypedValue(SetupForm& form, const QString& name, const QString& value)
{
    const WindowDef& window = form.window();
    if (!isLatin1(value))
        return cliNotLatin1ValueText(name);
    // A role names the field of this window that carries it; the tag on the wire is the field's own.
    const FieldDef* field = isLatin1(name) ? window.fieldByName(toLatin1(name)) : nullptr;
    const SetError error = field ? form.set(field->tag, toLatin1(value)) : SetError::UnknownName;
    if (error == SetError::None)
        return std::nullopt;
    if (error == SetError::UnknownName)
        return cliRefusedValueText(error, name, fromLatin1(window.name), value, {}) + QStringLiteral(" (") +
               settingNamesText(window) + QLatin1Char(')');
    QStringList entries;
    if (error == SetError::NoSuchEntry)
        for (const std::string& entry : field->entries)
            entries.append(fromLatin1(entry));
    return cliRefusedValueText(error, name, fromLatin1(window.name), value, entries);
}

} // namespace lv
