#include "cli.h"

#include "devicelist.h"
#include "devicesearch.h"
#include "exchanges.h"
#include "loaders.h"
#include "sessionstate.h"
#include "updateplan.h"
#include "tagmessage.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace lv {

namespace {

constexpr int kDefaultWaitMs = 1000;

QString latin1(std::string_view bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// A whole decimal number within [low, high]; nothing else (no sign, no blanks, no fraction).
std::optional<int> strictNumber(const QString& text, int low, int high)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    const int n = text.toInt();
    if (n < low || n > high)
        return std::nullopt;
    return n;
}

struct Options {
    quint16 port = 65535;
    QHostAddress broadcast{QHostAddress::Broadcast};
    QString password;
    int timeoutMs = kRequestTimeoutMs;
    int waitMs = kDefaultWaitMs;
    bool json = false;
    bool dryRun = false;
    bool stats = false;
    bool help = false;
    QString command;
    QStringList operands;
};

// One field as the window shows it after loading.
struct ShownField {
    std::string tag;
    std::string control;
    std::string value;
    std::optional<std::string> label; // lists only: the entry shown, empty when none is
    bool enabled = true;
};

// The entry a list shows for a value held as decimal index text; empty when it shows none.
std::string entryShown(const FieldDef& field, const std::string& indexText)
{
    const std::optional<int> index = strictNumber(QString::fromLatin1(indexText.c_str()), 0, 1 << 20);
    if (!index || *index >= static_cast<int>(field.entries.size()))
        return {};
    return field.entries[static_cast<std::size_t>(*index)];
}

// A field that a set command can carry: one the operator edits, with a tag the window sends.
bool isEditable(const WindowDef& window, const FieldDef& field)
{
    if (field.kind != ControlKind::TextBox && field.kind != ControlKind::ComboBox)
        return false;
    return std::find(window.itemOrder.begin(), window.itemOrder.end(), field.tag) != window.itemOrder.end();
}

class Cli {
public:
    Cli(QTextStream& out, QTextStream& err) : m_out(out), m_err(err) {}

    int run(const QStringList& args);

private:
    int parse(const QStringList& args);
    int usageError(const QString& message);

    int search();
    int show();
    int set();

    // Sends the probe and lets replies come in for the wait; `stop` may end the wait early.
    bool runSearch(const std::function<bool(int)>& stop = {});
    // The index of the first listed device that DEVICE names; -1 when none answered.
    int resolve(const DeviceSelector& selector);
    void printStats(qint64 formattedAtMs, qint64 listedAtMs);

    // The search and the configuration request shared by show and set. On failure `code` holds the exit code.
    struct Loaded {
        SearchReply device;
        ConfigRequestResult request;
        const WindowDef* window = nullptr;
    };
    std::optional<Loaded> loadDevice(const QString& deviceText, int& code);

    void printShow(const Loaded& loaded, const std::vector<ShownField>& fields);

    QTextStream& m_out;
    QTextStream& m_err;
    Options m_options;
    SessionState m_state;
    std::unique_ptr<DeviceSearch> m_search;
    std::unique_ptr<CommandChannel> m_channel;

    QElapsedTimer m_clock;      // started when the probe is sent
    qint64 m_lastDeviceMs = -1; // when the last new device was listed
    qint64 m_waitEndedMs = -1;
};

int Cli::usageError(const QString& message)
{
    m_err << "linkvane-cli: " << message << "\n" << usageText();
    m_err.flush();
    return kExitUsage;
}

int Cli::parse(const QStringList& args)
{
    static const QStringList valued = {QStringLiteral("port"),     QStringLiteral("broadcast"),
                                       QStringLiteral("password"), QStringLiteral("timeout"),
                                       QStringLiteral("wait"),     QStringLiteral("access-code")};
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsEnded || !arg.startsWith(QLatin1String("-")) || arg == QLatin1String("-")) {
            if (m_options.command.isEmpty())
                m_options.command = arg;
            else
                m_options.operands.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            m_options.help = true;
            continue;
        }
        if (!arg.startsWith(QLatin1String("--")))
            return usageError(QStringLiteral("unknown option %1").arg(arg));
        QString name = arg.mid(2);
        std::optional<QString> value;
        if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
        }
        if (valued.contains(name)) {
            if (!value) {
                if (i + 1 >= args.size())
                    return usageError(QStringLiteral("--%1 needs a value").arg(name));
                value = args[++i];
            }
        } else if (value) {
            return usageError(QStringLiteral("--%1 takes no value").arg(name));
        }

        if (name == QLatin1String("port")) {
            const std::optional<int> port = strictNumber(*value, 0, 65535);
            if (!port)
                return usageError(QStringLiteral("--port needs a number from 0 to 65535"));
            m_options.port = static_cast<quint16>(*port);
        } else if (name == QLatin1String("broadcast")) {
            QHostAddress address;
            if (!address.setAddress(*value))
                return usageError(QStringLiteral("--broadcast needs an IP address"));
            m_options.broadcast = address;
        } else if (name == QLatin1String("password")) {
            m_options.password = *value;
        } else if (name == QLatin1String("timeout")) {
            const std::optional<int> ms = strictNumber(*value, 1, 600000);
            if (!ms)
                return usageError(QStringLiteral("--timeout needs milliseconds from 1 to 600000"));
            m_options.timeoutMs = *ms;
        } else if (name == QLatin1String("wait")) {
            const std::optional<int> ms = strictNumber(*value, 0, 600000);
            if (!ms)
                return usageError(QStringLiteral("--wait needs milliseconds from 0 to 600000"));
            m_options.waitMs = *ms;
        } else if (name == QLatin1String("access-code")) {
            // Only set-mac takes it; accepted here so that its usage line parses.
        } else if (name == QLatin1String("json")) {
            m_options.json = true;
        } else if (name == QLatin1String("dry-run")) {
            m_options.dryRun = true;
        } else if (name == QLatin1String("stats")) {
            m_options.stats = true;
        } else {
            return usageError(QStringLiteral("unknown option --%1").arg(name));
        }
    }
    // The password travels as single-byte text; a character outside Latin-1 cannot be sent as typed.
    for (const QChar c : m_options.password)
        if (c.unicode() > 0xFF)
            return usageError(QStringLiteral("--password must be single-byte (Latin-1) text"));
    return kExitDone;
}

int Cli::run(const QStringList& args)
{
    if (const int code = parse(args); code != kExitDone)
        return code;
    if (m_options.help) {
        m_out << usageText();
        m_out.flush();
        return kExitDone;
    }
    const QString& command = m_options.command;
    if (command.isEmpty())
        return usageError(QStringLiteral("no command given"));
    if (m_options.dryRun && command != QLatin1String("set"))
        return usageError(QStringLiteral("--dry-run belongs to set"));

    m_state.gCmdPort = QString::number(m_options.port);
    m_state.gSetupPass = m_options.password;
    m_state.broadcast = m_options.broadcast;
    m_search = std::make_unique<DeviceSearch>(m_state);
    m_channel = std::make_unique<CommandChannel>(m_state);

    if (command == QLatin1String("search"))
        return search();
    if (command == QLatin1String("show"))
        return show();
    if (command == QLatin1String("set"))
        return set();
    if (command == QLatin1String("set-mac")) {
        m_err << "linkvane-cli: set-mac is not available yet\n";
        m_err.flush();
        return kExitUsage;
    }
    return usageError(QStringLiteral("unknown command %1").arg(command));
}

bool Cli::runSearch(const std::function<bool(int)>& stop)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the wait is a promise to scripts.
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    const QMetaObject::Connection added =
        QObject::connect(m_search.get(), &DeviceSearch::deviceAdded, &loop, [&](int index) {
            m_lastDeviceMs = m_clock.elapsed();
            if (stop && stop(index)) {
                timer.stop();
                loop.quit();
            }
        });
    m_clock.start();
    if (!m_search->start()) {
        QObject::disconnect(added);
        m_err << "linkvane-cli: the search probe could not be sent to " << m_state.broadcast.toString() << ":"
              << m_state.cmdPort() << "\n";
        m_err.flush();
        return false;
    }
    timer.start(m_options.waitMs);
    loop.exec();
    QObject::disconnect(added);
    m_waitEndedMs = m_clock.elapsed();
    return true;
}

void Cli::printStats(qint64 formattedAtMs, qint64 listedAtMs)
{
    if (!m_options.stats)
        return;
    m_err << "stats: " << m_search->devices().size() << " devices listed; last new device at " << m_lastDeviceMs
          << " ms after the probe; wait ended at " << m_waitEndedMs << " ms; listing formatted in "
          << (formattedAtMs - m_waitEndedMs) << " ms, written in " << (listedAtMs - formattedAtMs) << " ms; done at "
          << listedAtMs << " ms (" << (listedAtMs - m_waitEndedMs) << " ms after the wait";
    if (m_lastDeviceMs >= 0)
        m_err << ", " << (listedAtMs - m_lastDeviceMs) << " ms after the last device";
    m_err << ")\n";
    m_err.flush();
}

int Cli::search()
{
    if (!m_options.operands.isEmpty())
        return usageError(QStringLiteral("search takes no operands"));
    if (!runSearch())
        return kExitNoAnswer;

    const DeviceList& list = m_search->devices();
    std::vector<SearchReply> replies;
    replies.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i)
        if (std::optional<SearchReply> reply = parseSearchReply(list.raw(i)))
            replies.push_back(std::move(*reply));

    QString text;
    if (m_options.json) {
        text.reserve(static_cast<qsizetype>(replies.size()) * 100 + 4);
        text += QLatin1Char('[');
        for (std::size_t i = 0; i < replies.size(); ++i) {
            const SearchReply& r = replies[i];
            text += (i == 0 ? QLatin1String("\n  {") : QLatin1String(",\n  {"));
            text += QLatin1String("\"mac\": ") + jsonString(r.macText);
            text += QLatin1String(", \"macField\": ") + jsonString(r.macField);
            text += QLatin1String(", \"ip\": ") + jsonString(r.ip);
            text += QLatin1String(", \"deviceId\": ") + jsonString(r.deviceId) + QLatin1Char('}');
        }
        text += replies.empty() ? QLatin1String("]\n") : QLatin1String("\n]\n");
    } else {
        qsizetype ipWidth = 2;
        for (const SearchReply& r : replies)
            ipWidth = std::max(ipWidth, static_cast<qsizetype>(r.ip.size()));
        text.reserve(static_cast<qsizetype>(replies.size()) * 60 + 40);
        text += QStringLiteral("MAC").leftJustified(19) + QStringLiteral("IP").leftJustified(ipWidth + 2) +
                QLatin1String("Device ID\n");
        for (const SearchReply& r : replies)
            text += latin1(r.macText).leftJustified(19) + printableText(r.ip).leftJustified(ipWidth + 2) +
                    printableText(r.deviceId) + QLatin1Char('\n');
    }
    const qint64 formattedAt = m_clock.elapsed();
    m_out << text;
    m_out.flush();
    printStats(formattedAt, m_clock.elapsed());
    return kExitDone;
}

int Cli::resolve(const DeviceSelector& selector)
{
    int found = -1;
    const bool sent = runSearch([&](int index) {
        if (!deviceMatches(selector, m_search->devices().raw(static_cast<std::size_t>(index))))
            return false;
        found = index;
        return true;
    });
    return sent ? found : -1;
}

std::optional<Cli::Loaded> Cli::loadDevice(const QString& deviceText, int& code)
{
    const std::optional<DeviceSelector> selector = parseDeviceSelector(deviceText);
    if (!selector) {
        code = usageError(QStringLiteral("%1 is neither a MAC address (00-50-C2-01-02-03 or 0.80.194.1.2.3) "
                                         "nor an IP address")
                              .arg(deviceText));
        return std::nullopt;
    }
    const int index = resolve(*selector);
    if (index < 0) {
        m_err << "linkvane-cli: no device " << deviceText << " answered the search\n";
        m_err.flush();
        code = kExitNotFound;
        return std::nullopt;
    }
    Loaded loaded;
    const std::string& raw = m_search->devices().raw(static_cast<std::size_t>(index));
    loaded.device = *parseSearchReply(raw);
    m_state.gSelMacField = latin1(loaded.device.macField);
    m_state.gSelMac = latin1(loaded.device.macText);
    loaded.request =
        requestConfiguration(*m_channel, raw, m_options.password.toLatin1().toStdString(), m_options.timeoutMs);
    m_state.gModel = latin1(loaded.request.modelVersion.model);
    m_state.gVersion = latin1(loaded.request.modelVersion.version);
    if (!loaded.request.valid) {
        m_err << "linkvane-cli: device " << latin1(loaded.device.macText) << " did not answer the configuration "
              << "request within " << m_options.timeoutMs << " ms\n";
        m_err.flush();
        code = kExitNoAnswer;
        return std::nullopt;
    }
    if (loaded.request.dispatch.loader != LoaderKind::None)
        loaded.window = findWindow(loaded.request.dispatch.window);
    code = kExitDone;
    return loaded;
}

int Cli::show()
{
    if (m_options.operands.size() != 1)
        return usageError(QStringLiteral("show takes one DEVICE"));
    int code = kExitDone;
    const std::optional<Loaded> loaded = loadDevice(m_options.operands.front(), code);
    if (!loaded)
        return code;

    std::vector<ShownField> fields;
    if (const WindowDef* window = loaded->window) {
        const std::string& reply = loaded->request.reply;
        if (window->isMultiPort()) {
            // The multi-port loaders are not here yet: the values as the device sent them.
            for (const FieldDef& field : window->fields) {
                if (field.tag.empty())
                    continue;
                ShownField shown{field.tag, field.control, GetTagValue(reply, field.tag).value, {}, field.enabled};
                if (field.kind == ControlKind::ComboBox)
                    shown.label = entryShown(field, shown.value);
                fields.push_back(std::move(shown));
            }
        } else {
            const LoadResult load = loadSinglePort(*window, reply);
            for (const FieldDef& field : window->fields) {
                if (field.tag.empty() || field.kind == ControlKind::Note)
                    continue;
                const auto it = load.controls.find(field.control);
                const ControlValue value = it == load.controls.end() ? ControlValue{} : it->second;
                ShownField shown{field.tag, field.control, currentText(field, value), {}, field.enabled};
                if (field.kind == ControlKind::ComboBox)
                    shown.label = entryShown(field, shown.value);
                fields.push_back(std::move(shown));
            }
        }
    }
    printShow(*loaded, fields);
    return kExitDone;
}

void Cli::printShow(const Loaded& loaded, const std::vector<ShownField>& fields)
{
    const ModelVersion& mv = loaded.request.modelVersion;
    const std::string& windowName = loaded.request.dispatch.window;
    if (m_options.json) {
        QString text = QLatin1String("{\"mac\": ") + jsonString(loaded.device.macText);
        text += QLatin1String(", \"macField\": ") + jsonString(loaded.device.macField);
        text += QLatin1String(", \"ip\": ") + jsonString(loaded.device.ip);
        text += QLatin1String(", \"model\": ") + jsonString(mv.model);
        text += QLatin1String(", \"version\": ") + jsonString(mv.version);
        text +=
            QLatin1String(", \"window\": ") + (windowName.empty() ? QStringLiteral("null") : jsonString(windowName));
        text += QLatin1String(", \"fields\": [");
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const ShownField& f = fields[i];
            text += (i == 0 ? QLatin1String("\n  {") : QLatin1String(",\n  {"));
            text += QLatin1String("\"tag\": ") + jsonString(f.tag);
            text += QLatin1String(", \"control\": ") + jsonString(f.control);
            text += QLatin1String(", \"value\": ") + jsonString(f.value);
            if (f.label)
                text += QLatin1String(", \"label\": ") + jsonString(*f.label);
            text += QLatin1Char('}');
        }
        text += fields.empty() ? QLatin1String("]}\n") : QLatin1String("\n]}\n");
        m_out << text;
        m_out.flush();
        return;
    }

    m_out << "MAC        " << latin1(loaded.device.macText) << "\n";
    m_out << "MAC field  " << latin1(loaded.device.macField) << "\n";
    m_out << "IP         " << printableText(loaded.device.ip) << "\n";
    m_out << "Model      " << printableText(mv.model) << "\n";
    m_out << "Version    " << printableText(mv.version) << "\n";
    if (windowName.empty()) {
        m_out << "Window     none: no window opens for model " << printableText(mv.model) << "\n";
        m_out.flush();
        return;
    }
    m_out << "Window     " << latin1(windowName);
    if (loaded.window && loaded.window->isMultiPort())
        m_out << "  (values as sent by the device)";
    m_out << "\n\n";

    qsizetype tagWidth = 3;
    qsizetype controlWidth = 7;
    qsizetype valueWidth = 5;
    std::vector<QString> values;
    values.reserve(fields.size());
    for (const ShownField& f : fields) {
        values.push_back(printableText(f.value));
        tagWidth = std::max(tagWidth, static_cast<qsizetype>(f.tag.size()));
        controlWidth = std::max(controlWidth, static_cast<qsizetype>(f.control.size()));
        valueWidth = std::max(valueWidth, values.back().size());
    }
    m_out << QStringLiteral("Tag").leftJustified(tagWidth + 2)
          << QStringLiteral("Control").leftJustified(controlWidth + 2)
          << QStringLiteral("Value").leftJustified(valueWidth + 2) << "Shown\n";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const ShownField& f = fields[i];
        QString line = latin1(f.tag).leftJustified(tagWidth + 2) + latin1(f.control).leftJustified(controlWidth + 2) +
                       values[i].leftJustified(valueWidth + 2);
        if (f.label)
            line += f.label->empty() ? QStringLiteral("(none)") : printableText(*f.label);
        if (!f.enabled)
            line += QLatin1String("  [switched off]");
        m_out << line.trimmed() << "\n";
    }
    m_out.flush();
}

int Cli::set()
{
    if (m_options.operands.size() < 2)
        return usageError(QStringLiteral("set takes DEVICE and at least one NAME=VALUE"));
    // The changes are checked for form before anything goes on the wire.
    std::vector<std::pair<QString, QString>> changes;
    for (qsizetype i = 1; i < m_options.operands.size(); ++i) {
        const QString& change = m_options.operands[i];
        const qsizetype eq = change.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return usageError(QStringLiteral("%1 is not NAME=VALUE").arg(change));
        changes.emplace_back(change.left(eq), change.mid(eq + 1));
    }

    int code = kExitDone;
    const std::optional<Loaded> loaded = loadDevice(m_options.operands.front(), code);
    if (!loaded)
        return code;
    const QString model = printableText(loaded->request.modelVersion.model);
    if (!loaded->window) {
        m_err << "linkvane-cli: no window opens for model " << model << "; nothing to set\n";
        m_err.flush();
        return kExitUnknownValue;
    }
    const WindowDef& window = *loaded->window;
    const QString windowName = latin1(window.name);
    if (window.isMultiPort()) {
        m_err << "linkvane-cli: " << windowName << " (model " << model
              << ") is a multi-port window; setting it is not supported yet\n";
        m_err.flush();
        return kExitUnknownValue;
    }

    const LoadResult load = loadSinglePort(window, loaded->request.reply);
    // What every field holds after loading, as Update reads it; the changes are applied on top.
    std::map<std::string, std::string, std::less<>> current;
    for (const FieldDef& field : window.fields) {
        if (!isEditable(window, field))
            continue;
        const auto it = load.controls.find(field.control);
        current[field.control] = currentText(field, it == load.controls.end() ? ControlValue{} : it->second);
    }

    for (const auto& [name, value] : changes) {
        const std::string tag = name.toLatin1().toStdString();
        const FieldDef* field = window.fieldByTag(tag);
        if (!field || !isEditable(window, *field)) {
            m_err << "linkvane-cli: " << windowName << " has no field " << name << "\n";
            m_err.flush();
            return kExitUnknownValue;
        }
        if (!field->enabled) {
            m_err << "linkvane-cli: " << name << " is switched off on " << windowName << "\n";
            m_err.flush();
            return kExitUnknownValue;
        }
        const auto& onlyIfLoaded = window.sendOnlyIfLoaded;
        if (std::find(onlyIfLoaded.begin(), onlyIfLoaded.end(), tag) != onlyIfLoaded.end()) {
            const auto it = load.loaded.find(tag);
            if (it == load.loaded.end() || it->second.empty()) {
                m_err << "linkvane-cli: the device reported no " << name << ", so " << windowName
                      << " does not send it\n";
                m_err.flush();
                return kExitUnknownValue;
            }
        }
        if (field->kind == ControlKind::ComboBox) {
            const std::optional<int> index = listIndexForValue(*field, value);
            if (!index) {
                QStringList entries;
                for (const std::string& entry : field->entries)
                    entries.append(latin1(entry));
                m_err << "linkvane-cli: the list " << name << " of " << windowName << " holds no " << value
                      << " (entries: " << entries.join(QLatin1String(", ")) << "; or #0 to #"
                      << (field->entries.size() - 1) << ")\n";
                m_err.flush();
                return kExitUnknownValue;
            }
            current[field->control] = std::to_string(*index);
        } else {
            for (const QChar c : value) {
                if (c.unicode() > 0xFF) {
                    m_err << "linkvane-cli: the value of " << name << " must be single-byte (Latin-1) text\n";
                    m_err.flush();
                    return kExitUnknownValue;
                }
            }
            current[field->control] = value.toLatin1().toStdString();
        }
    }

    const UpdatePlan plan = planUpdate(window, load.loaded, current);
    bool answered = false;
    if (!m_options.dryRun)
        answered = runUpdate(*m_channel, plan, m_options.timeoutMs);

    if (m_options.json) {
        m_out << "{\"sent\": " << jsonString(plan.setCommand);
        if (m_options.dryRun)
            m_out << ", \"dryRun\": true}\n";
        else
            m_out << ", \"answered\": " << (answered ? "true" : "false") << "}\n";
    } else if (m_options.dryRun) {
        m_out << "Would send: " << printableText(plan.setCommand) << "\n";
        m_out << "Then " << plan.updateCount << " x " << printableText(plan.updateCommand) << "\n";
    } else {
        m_out << "Sent:     " << printableText(plan.setCommand) << "\n";
        m_out << "Then " << plan.updateCount << " x " << printableText(plan.updateCommand) << "\n";
        m_out << "Answered: " << (answered ? "yes" : "no") << "\n";
    }
    m_out.flush();
    if (!m_options.dryRun && !answered) {
        m_err << "linkvane-cli: device " << latin1(loaded->device.macText) << " did not answer the update within "
              << m_options.timeoutMs << " ms\n";
        m_err.flush();
        return kExitNoAnswer;
    }
    return kExitDone;
}

} // namespace

QString usageText()
{
    return QStringLiteral(
        "usage: linkvane-cli [--port N] [--broadcast ADDR] [--password TEXT] [--timeout MS] [--json] [--stats]\n"
        "                    COMMAND ...\n"
        "  search [--wait MS]                    devices answering one probe (listed after the wait, 1000 ms)\n"
        "  show DEVICE                           the configuration as the device's window would show it\n"
        "  set DEVICE NAME=VALUE... [--dry-run]  change settings exactly as the window's Update would\n"
        "  set-mac DEVICE NEW_MAC --access-code CODE   (not available yet)\n"
        "DEVICE: MAC text (00-50-C2-01-02-03), MAC field (0.80.194.1.2.3) or IP address\n"
        "NAME: the tag name (IPAddress, SIOBaud, DeviceID, ...)\n"
        "VALUE: text as typed; for a list field the entry's label (SIOBaud=115200, SIOParity=E)\n"
        "       or #N for the raw index (SIOBaud=#9)\n"
        "--port: command port (65535); --broadcast: destination (255.255.255.255);\n"
        "--timeout: wait for a device's answer (1000 ms); --stats: search timing on stderr\n"
        "exit: 0 done, 1 usage, 2 device not found, 3 no answer, 4 a name or value the window does not have\n");
}

int runCli(const QStringList& args, QTextStream& out, QTextStream& err)
{
    Cli cli(out, err);
    return cli.run(args);
}

std::optional<DeviceSelector> parseDeviceSelector(const QString& text)
{
    const QString trimmed = text.trimmed();
    const QChar separator = trimmed.contains(QLatin1Char('-')) ? QLatin1Char('-') : QLatin1Char(':');
    if (trimmed.contains(separator)) {
        const QStringList parts = trimmed.split(separator);
        if (parts.size() != 6)
            return std::nullopt;
        QStringList hex;
        for (const QString& part : parts) {
            bool ok = false;
            const uint value = part.toUInt(&ok, 16);
            if (!ok || part.isEmpty() || part.size() > 2 || part.startsWith(QLatin1Char('+')))
                return std::nullopt;
            hex.append(QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper());
        }
        return DeviceSelector{DeviceSelector::Kind::MacText, hex.join(QLatin1Char('-')).toStdString()};
    }
    const QStringList parts = trimmed.split(QLatin1Char('.'));
    if (parts.size() == 6) {
        const std::optional<std::string> mac = macTextFromField(trimmed.toLatin1().toStdString());
        if (!mac)
            return std::nullopt;
        return DeviceSelector{DeviceSelector::Kind::MacField, *mac};
    }
    if (parts.size() == 4) {
        for (const QString& part : parts)
            if (!strictNumber(part, 0, 255))
                return std::nullopt;
        return DeviceSelector{DeviceSelector::Kind::Ip, trimmed.toStdString()};
    }
    return std::nullopt;
}

bool deviceMatches(const DeviceSelector& selector, std::string_view rawEntry)
{
    const std::optional<SearchReply> reply = parseSearchReply(rawEntry);
    if (!reply)
        return false;
    if (selector.kind == DeviceSelector::Kind::Ip)
        return reply->ip == selector.text;
    return reply->macText == selector.text;
}

std::optional<int> listIndexForValue(const FieldDef& field, const QString& value)
{
    const int count = static_cast<int>(field.entries.size());
    if (value.startsWith(QLatin1Char('#'))) {
        const std::optional<int> index = strictNumber(value.mid(1), 0, count - 1);
        return index;
    }
    for (int i = 0; i < count; ++i)
        if (latin1(field.entries[static_cast<std::size_t>(i)]) == value)
            return i;
    std::optional<int> found;
    for (int i = 0; i < count; ++i) {
        if (latin1(field.entries[static_cast<std::size_t>(i)]).compare(value, Qt::CaseInsensitive) == 0) {
            if (found)
                return std::nullopt; // more than one entry fits: the operator must say which
            found = i;
        }
    }
    return found;
}

QString jsonString(std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()) + 2);
    text += QLatin1Char('"');
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte == '"')
            text += QLatin1String("\\\"");
        else if (byte == '\\')
            text += QLatin1String("\\\\");
        else if (byte < 0x20)
            text += QStringLiteral("\\u%1").arg(byte, 4, 16, QLatin1Char('0'));
        else
            text += QLatin1Char(ch);
    }
    text += QLatin1Char('"');
    return text;
}

QString printableText(std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte == '\\')
            text += QLatin1String("\\\\");
        else if (byte < 0x20 || byte == 0x7F)
            text += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
        else
            text += QLatin1Char(ch);
    }
    return text;
}

} // namespace lv
