// SPDX-License-Identifier: Apache-2.0
// Values typed into a window's fields.

#include "typedvalue.h"

#include "latin1.h"

#include <QRegularExpression>
#include <QStringList>

namespace lv {

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

std::optional<TypedRefusal> applyTypedValue(SetupForm& form, const QString& name, const QString& value)
{
    if (!isLatin1(value))
        return TypedRefusal{SetError::None, name, value};
    // A role names the field of this window that carries it; the tag on the wire is the field's own.
    const FieldDef* field = isLatin1(name) ? form.window().fieldByName(toLatin1(name)) : nullptr;
    const SetError error = field ? form.set(field->tag, toLatin1(value)) : SetError::UnknownName;
    if (error == SetError::None)
        return std::nullopt;
    return TypedRefusal{error, name, value};
}

} // namespace lv
