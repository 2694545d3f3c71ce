// SPDX-License-Identifier: Apache-2.0
// Reading a plan of linkvane-cli apply.

#include "plan.h"

#include "csvplan.h"
#include "latin1.h"
#include "showntext.h"
#include "typedvalue.h"
#include "valuetemplate.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cmath>
#include <string>
#include <unordered_map>

namespace lv {

namespace {

const QString kDefaults = QStringLiteral("defaults");
const QString kDevices = QStringLiteral("devices");
const QString kDevice = QStringLiteral("device");
const QString kPassword = QStringLiteral("password");
const QString kSet = QStringLiteral("set");
const QString kWindow = QStringLiteral("window");
const QString kSelect = QStringLiteral("select");
// What an export wrote of the device; read past, as the window is the check of what the settings fit.
const QString kModel = QStringLiteral("model");
const QString kVersion = QStringLiteral("version");

// A value of a "set" entry as text: a string as written, a whole number in decimal.
std::optional<QString> entryText(const QJsonValue& value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble()) {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15)
            return QString::number(static_cast<qint64>(d));
    }
    return std::nullopt;
}

// Every field of every window a setting name reaches, by its tag or its role. Built again when a family
// was added since.
const std::vector<const FieldDef*>& fieldsNamed(const std::string& name)
{
    static std::unordered_map<std::string, std::vector<const FieldDef*>> byName;
    static std::size_t windows = 0;
    if (windows != windowCatalogue().size()) {
        byName.clear();
        windows = windowCatalogue().size();
        for (const WindowDef& window : windowCatalogue()) {
            for (const FieldDef& field : window.fields) {
                if (!field.tag.empty())
                    byName[field.tag].push_back(&field);
                // A role reaches a field only where no field has it as its tag (fieldByName).
                if (!field.role.empty() && !window.fieldByTag(field.role))
                    byName[field.role].push_back(&field);
            }
        }
    }
    static const std::vector<const FieldDef*> none;
    const auto it = byName.find(name);
    return it == byName.end() ? none : it->second;
}

bool readSet(const QJsonValue& value, const QString& path, bool defaults, SetEntries& set, QString* error)
{
    if (value.isUndefined())
        return true;
    if (!value.isObject()) {
        *error = path + QStringLiteral(": must be an object of NAME: VALUE");
        return false;
    }
    const QJsonObject object = value.toObject();
    // The entry of this object that set each field first: one field by its tag and by its role is one
    // setting, and two different values for it leave no way to tell which was meant.
    QHash<const FieldDef*, std::pair<QString, QString>> setBy; // field: the entry's name and value
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString entryPath = path + QLatin1Char('.') + printableName(it.key());
        const std::optional<QString> text = entryText(it.value());
        if (!text) {
            *error = entryPath + QStringLiteral(": the value must be text or a whole number");
            return false;
        }
        // The device would end the value at a NUL and read what follows as something else.
        if (text->contains(QChar(u'\0'))) {
            *error = entryPath + QStringLiteral(": the value holds a NUL; the device would end the value there");
            return false;
        }
        if (const std::optional<QString> fault = templateFault(*text)) {
            *error = entryPath + QStringLiteral(": ") + *fault;
            return false;
        }
        const std::vector<const FieldDef*>& fields =
            isLatin1(it.key()) ? fieldsNamed(toLatin1(it.key())) : fieldsNamed(std::string());
        for (const FieldDef* field : fields) {
            if (field->secret)
                if (const std::optional<QString> why = secretRefusal(*text)) {
                    *error = entryPath + QStringLiteral(": a secret ") + *why;
                    return false;
                }
            const auto first = setBy.constFind(field);
            if (first == setBy.constEnd()) {
                setBy.insert(field, {it.key(), *text});
            } else if (first->second != *text) {
                *error = QStringLiteral("%1: \"%2\" and \"%3\" set the same field (%4) to different values")
                             .arg(path, printableName(first->first), printableName(it.key()), fromLatin1(field->tag));
                return false;
            }
        }
        const auto same = std::find_if(set.begin(), set.end(), [&](const SetEntry& e) { return e.name == it.key(); });
        if (same != set.end())
            *same = SetEntry{it.key(), *text, defaults};
        else
            set.push_back(SetEntry{it.key(), *text, defaults});
    }
    return true;
}

// The plan keys of the actions of one datagram, which an entry may ask for after its Update.
QStringList actionKeys()
{
    QStringList keys;
    for (const DeviceAction& action : deviceActions())
        if (action.planKey && action.datagram)
            keys.append(QString::fromLatin1(action.planKey));
    return keys;
}

// Each action the entry asks for: true, or its argument as text; false asks for none.
bool readActions(const QJsonObject& entry, const QString& path, std::vector<PlannedAction>& actions, QString* error)
{
    for (const DeviceAction& action : deviceActions()) {
        if (!action.planKey || !action.datagram)
            continue;
        const QString key = QString::fromLatin1(action.planKey);
        const QJsonValue value = entry.value(key);
        if (value.isUndefined() || value == QJsonValue(false))
            continue;
        if (value != QJsonValue(true) && !(value.isString() && isLatin1(value.toString()))) {
            *error = path + QLatin1Char('.') + key + QStringLiteral(": must be true, false or single-byte text");
            return false;
        }
        actions.push_back({action.kind, value.isString() ? toLatin1(value.toString()) : std::string(), {}});
    }
    return true;
}

bool knownKeys(const QJsonObject& object, const QStringList& keys, const QString& path, QString* error)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!keys.contains(it.key())) {
            *error = QStringLiteral("%1: unknown key \"%2\" (known: %3)")
                         .arg(path, printableName(it.key()), keys.join(QStringLiteral(", ")));
            return false;
        }
    }
    return true;
}

std::optional<QString> readPassword(const QJsonObject& object, const QString& path, QString* error)
{
    const QJsonValue value = object.value(kPassword);
    if (value.isUndefined())
        return std::nullopt;
    if (!value.isString() || !isLatin1(value.toString())) {
        *error = path + QStringLiteral(".password: must be single-byte (Latin-1) text");
        return std::nullopt;
    }
    if (const std::optional<QString> why = secretRefusal(value.toString())) {
        *error = path + QStringLiteral(".password: a secret ") + *why;
        return std::nullopt;
    }
    return value.toString();
}

// The first key that one object of a valid JSON text holds twice, with where it stands: QJsonDocument
// keeps the last of them and says nothing. One pass over the text, a set of keys per open object.
std::optional<QString> duplicateKey(const QByteArray& text)
{
    struct Open {
        bool object = false;
        QString path;
        qsizetype index = 0; // array: the element being read
        bool keyNext = true; // object: the next string is a key
        QString key;         // object: the key whose value is being read
        QSet<QString> keys;
    };
    std::vector<Open> open;
    const auto childPath = [&]() -> QString {
        if (open.empty())
            return QString();
        const Open& parent = open.back();
        if (!parent.object)
            return parent.path + QStringLiteral("[%1]").arg(parent.index);
        return parent.path.isEmpty() ? printableName(parent.key)
                                     : parent.path + QLatin1Char('.') + printableName(parent.key);
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '{' || c == '[') {
            Open opened;
            opened.object = c == '{';
            opened.path = childPath();
            open.push_back(std::move(opened));
        } else if (c == '}' || c == ']') {
            if (!open.empty())
                open.pop_back();
        } else if (c == ',' && !open.empty()) {
            if (open.back().object)
                open.back().keyNext = true;
            else
                ++open.back().index;
        } else if (c == '"') {
            const qsizetype start = i;
            bool escapes = false;
            for (++i; i < text.size() && text[i] != '"'; ++i)
                if (text[i] == '\\') {
                    escapes = true;
                    ++i;
                }
            if (open.empty() || !open.back().object || !open.back().keyNext)
                continue;
            Open& object = open.back();
            object.keyNext = false;
            const QByteArray quoted = text.mid(start, i + 1 - start);
            // A key with escapes is read as the parser reads it ("\u0061" and "a" are one key).
            object.key = escapes ? QJsonDocument::fromJson("[" + quoted + "]").array().at(0).toString()
                                 : QString::fromUtf8(quoted.mid(1, quoted.size() - 2));
            if (object.keys.contains(object.key)) {
                const auto [line, column] = lineAndColumn(text, start);
                return QStringLiteral("line %1, column %2: %3 holds the key \"%4\" twice")
                    .arg(line)
                    .arg(column)
                    .arg(object.path.isEmpty() ? QStringLiteral("the plan") : object.path, printableName(object.key));
            }
            object.keys.insert(object.key);
        }
    }
    return std::nullopt;
}

} // namespace

SetEntries entriesForWindow(const SetEntries& set, const WindowDef& window, QStringList* skipped)
{
    SetEntries taken;
    for (const SetEntry& entry : set) {
        const FieldDef* field = isLatin1(entry.name) ? window.fieldByName(toLatin1(entry.name)) : nullptr;
        const bool settable = field && field->enabled && window.sendsTag(field->tag);
        if (entry.fromDefaults && !settable) {
            if (skipped)
                skipped->append(entry.name);
            continue;
        }
        taken.push_back(entry);
    }
    return taken;
}

std::pair<int, int> lineAndColumn(const QByteArray& text, qsizetype offset)
{
    offset = std::clamp<qsizetype>(offset, 0, text.size());
    int line = 1;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < offset; ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    const int column = static_cast<int>(QString::fromUtf8(text.constData() + lineStart, offset - lineStart).size()) + 1;
    return {line, column};
}

std::optional<Plan> readPlanJson(const QByteArray& text, QString* error)
{
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        // The parser reports the offset just past the character it could not take; point at that character.
        qsizetype at = parseError.offset;
        if (at > 0 && at <= text.size() && !QByteArrayView(" \t\r\n").contains(text[at - 1]))
            --at;
        const auto [line, column] = lineAndColumn(text, at);
        *error = QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(parseError.errorString());
        return std::nullopt;
    }
    if (const std::optional<QString> duplicate = duplicateKey(text)) {
        *error = *duplicate;
        return std::nullopt;
    }
    // Where the document itself starts, for the faults of the whole plan.
    qsizetype start = 0;
    while (start < text.size() && QByteArrayView(" \t\r\n").contains(text[start]))
        ++start;
    const auto [line, column] = lineAndColumn(text, start);
    const QString where = QStringLiteral("line %1, column %2: ").arg(line).arg(column);
    if (!doc.isObject()) {
        *error = where + QStringLiteral("a plan is an object with \"devices\"");
        return std::nullopt;
    }
    const QJsonObject root = doc.object();
    std::optional<Plan> plan = planFromJson(root, error);
    // A plan without its list is a fault of the whole document: said where the document starts.
    if (!plan && !root.value(kDevices).isArray())
        *error = where + *error;
    return plan;
}

std::optional<PlanFormat> planFormatFor(const QString& path, const QString& formatOption)
{
    if (formatOption.isEmpty())
        return path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) ? PlanFormat::Csv : PlanFormat::Json;
    if (formatOption == QLatin1String("json"))
        return PlanFormat::Json;
    if (formatOption == QLatin1String("csv"))
        return PlanFormat::Csv;
    return std::nullopt;
}

std::optional<Plan> readPlan(const QByteArray& bytes, PlanFormat format, QString* error)
{
    return format == PlanFormat::Csv ? readPlanCsv(bytes, error) : readPlanJson(bytes, error);
}

std::optional<Plan> planFromJson(const QJsonObject& root, QString* error)
{
    if (!root.value(kDevices).isArray()) {
        *error = QStringLiteral("the plan has no \"devices\" list");
        return std::nullopt;
    }
    if (!knownKeys(root, {kDefaults, kDevices}, QStringLiteral("plan"), error))
        return std::nullopt;

    std::optional<QString> defaultPassword;
    SetEntries defaultSet;
    if (root.contains(kDefaults)) {
        if (!root.value(kDefaults).isObject()) {
            *error = QStringLiteral("defaults: must be an object");
            return std::nullopt;
        }
        const QJsonObject defaults = root.value(kDefaults).toObject();
        if (!knownKeys(defaults, {kPassword, kSet}, kDefaults, error))
            return std::nullopt;
        error->clear();
        defaultPassword = readPassword(defaults, kDefaults, error);
        if (!error->isEmpty() ||
            !readSet(defaults.value(kSet), kDefaults + QStringLiteral(".set"), true, defaultSet, error))
            return std::nullopt;
    }

    Plan plan;
    QSet<QString> named;
    const QJsonArray devices = root.value(kDevices).toArray();
    for (qsizetype i = 0; i < devices.size(); ++i) {
        const QString path = QStringLiteral("devices[%1]").arg(i);
        if (!devices[i].isObject()) {
            *error = path + QStringLiteral(": must be an object with \"device\"");
            return std::nullopt;
        }
        const QJsonObject entry = devices[i].toObject();
        if (!knownKeys(entry, QStringList{kDevice, kSelect, kPassword, kWindow, kSet, kModel, kVersion} + actionKeys(),
                       path, error))
            return std::nullopt;
        PlanEntry device;
        if (entry.contains(kSelect) && entry.contains(kDevice)) {
            *error = path + QStringLiteral(": names its devices by \"device\" or by \"select\", not both");
            return std::nullopt;
        }
        if (entry.contains(kSelect)) {
            device.device = entry.value(kSelect).toString();
            QString why;
            device.selection = entry.value(kSelect).isString() ? parseSelection(device.device, &why) : std::nullopt;
            if (!device.selection) {
                *error =
                    path + QStringLiteral(".select: ") +
                    (why.isEmpty() ? QStringLiteral("must be text such as \"model=KR-77*,ip=10.20.0.0/24\"") : why);
                return std::nullopt;
            }
        } else {
            device.device = entry.value(kDevice).toString();
            const std::optional<DeviceSelector> selector = parseDeviceSelector(device.device);
            if (!selector) {
                *error = path + QStringLiteral(".device: \"%1\" is neither a MAC text (00-50-C2-01-02-03), a MAC "
                                               "field (0.80.194.1.2.3) nor an IP address")
                                    .arg(printableName(device.device));
                return std::nullopt;
            }
            device.selector = *selector;
            const QString key =
                QString::number(static_cast<int>(selector->kind)) + QString::fromStdString(selector->text);
            if (named.contains(key)) {
                *error = path + QStringLiteral(".device: %1 is named twice").arg(printableName(device.device));
                return std::nullopt;
            }
            named.insert(key);
        }
        error->clear();
        device.password = readPassword(entry, path, error);
        if (!error->isEmpty())
            return std::nullopt;
        if (!device.password)
            device.password = defaultPassword;
        if (entry.contains(kWindow)) {
            if (!entry.value(kWindow).isString()) {
                *error = path + QStringLiteral(".window: must be text");
                return std::nullopt;
            }
            device.window = entry.value(kWindow).toString();
        }
        device.set = defaultSet;
        if (!readSet(entry.value(kSet), path + QStringLiteral(".set"), false, device.set, error) ||
            !readActions(entry, path, device.actions, error))
            return std::nullopt;
        plan.entries.push_back(std::move(device));
    }
    return plan;
}

} // namespace lv
