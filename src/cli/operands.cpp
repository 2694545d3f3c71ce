// The operands of linkvane-cli's commands.

#include "operands.h"

#include "latin1.h"

#include <QStringList>

namespace lv {

Operand deviceOperand()
{
    return {QStringLiteral("DEVICE"),
            QStringLiteral("MAC text (00-50-C2-01-02-03), MAC field (0.80.194.1.2.3) or IP address"),
            QStringLiteral("DEVICE")};
}

std::optional<QString> applyTypedValue(SetupForm& form, const QString& name, const QString& value)
{
    const WindowDef& window = form.window();
    const QString windowName = fromLatin1(window.name);
    if (!isLatin1(value))
        return QStringLiteral("the value of %1 must be single-byte (Latin-1) text").arg(name);
    const std::string tag = toLatin1(name);
    switch (form.set(tag, toLatin1(value))) {
    case SetError::None:
        return std::nullopt;
    case SetError::UnknownName:
        return QStringLiteral("%1 has no field %2").arg(windowName, name);
    case SetError::SwitchedOff:
        return QStringLiteral("%1 is switched off on %2").arg(name, windowName);
    case SetError::NotReported:
        return QStringLiteral("the device reported no %1, so %2 does not send it").arg(name, windowName);
    case SetError::CarriesItem:
        return QStringLiteral("the value of %1 holds the tag of an item (\"<...>\" or \"</...>\") or a marker "
                              "of the reply (\"MODEL: \", \"VER:\"); the device would read other settings out of it")
            .arg(name);
    case SetError::NoSuchEntry: {
        const FieldDef& field = *window.fieldByTag(tag);
        QStringList entries;
        for (const std::string& entry : field.entries)
            entries.append(fromLatin1(entry));
        return QStringLiteral("the list %1 of %2 holds no %3 (entries: %4; or #0 to #%5)")
            .arg(name, windowName, value, entries.join(QStringLiteral(", ")))
            .arg(field.entries.size() - 1);
    }
    }
    return std::nullopt;
}

std::optional<int> parallelValue(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    return parser.isSet(option) ? strictNumber(parser.value(option), 1, 1024) : std::optional<int>(16);
}

} // namespace lv
