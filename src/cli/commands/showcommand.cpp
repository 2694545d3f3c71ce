// SPDX-License-Identifier: Apache-2.0
// linkvane-cli show.

#include "commandlist.h"

#include "clicontext.h"
#include "latin1.h"
#include "operands.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace lv {

namespace {

// A secret field's value as shown: "***" unless --show-secrets; an empty one stays empty.
std::string shownValue(const CliContext& context, const ShownField& field)
{
    if (!field.secret || field.value.empty() || !context.mask().enabled())
        return field.value;
    return std::string(kMaskedSecret);
}

// The device as loaded: what it is, its window, and every field of the window with its value.
class ShowReport final : public Report {
public:
    ShowReport(const CliContext& context, const DeviceRun& loaded) : m_context(context), m_loaded(loaded) {}
    QString text() const override;
    QJsonValue json() const override;

private:
    const CliContext& m_context;
    const DeviceRun& m_loaded;
};

QJsonValue ShowReport::json() const
{
    const CliContext& context = m_context;
    const DeviceRun& loaded = m_loaded;
    const ModelVersion& mv = loaded.outcome.request().modelVersion;
    const std::string& window = loaded.outcome.request().dispatch.window;
    const SetupForm* form = loaded.outcome.form();
    QJsonArray fields;
    if (form) {
        for (const ShownField& f : form->shownFields()) {
            QJsonObject field{{QStringLiteral("tag"), jsonText(f.tag)},
                              {QStringLiteral("control"), jsonText(f.control)},
                              {QStringLiteral("value"), jsonText(shownValue(context, f))}};
            if (f.label)
                field.insert(QStringLiteral("label"), jsonText(*f.label));
            fields.append(field);
        }
    }
    return QJsonObject{{QStringLiteral("mac"), jsonText(loaded.device.macText)},
                       {QStringLiteral("macField"), jsonText(loaded.device.macField)},
                       {QStringLiteral("ip"), jsonText(loaded.device.ip)},
                       {QStringLiteral("model"), jsonText(mv.model)},
                       {QStringLiteral("version"), jsonText(mv.version)},
                       {QStringLiteral("window"), window.empty() ? QJsonValue() : jsonText(window)},
                       {QStringLiteral("fields"), fields}};
}

QString ShowReport::text() const
{
    const CliContext& context = m_context;
    const DeviceRun& loaded = m_loaded;
    const ModelVersion& mv = loaded.outcome.request().modelVersion;
    const SetupForm* form = loaded.outcome.form();
    QString text = QStringLiteral("MAC        ") + fromLatin1(loaded.device.macText) + QLatin1Char('\n');
    text += QStringLiteral("MAC field  ") + fromLatin1(loaded.device.macField) + QLatin1Char('\n');
    text += QStringLiteral("IP         ") + shownText(loaded.device.ip) + QLatin1Char('\n');
    text += QStringLiteral("Model      ") + printableText(mv.model) + QLatin1Char('\n');
    text += QStringLiteral("Version    ") + printableText(mv.version) + QLatin1Char('\n');
    if (!form)
        return text + QStringLiteral("Window     none: no window opens for model ") + printableText(mv.model) +
               QLatin1Char('\n');
    text += QStringLiteral("Window     ") + fromLatin1(form->window().name) + QStringLiteral("\n\n");

    const std::vector<ShownField> fields = form->shownFields();
    qsizetype tagWidth = 3;
    qsizetype controlWidth = 7;
    qsizetype valueWidth = 5;
    std::vector<QString> values;
    values.reserve(fields.size());
    for (const ShownField& f : fields) {
        values.push_back(shownText(shownValue(context, f)));
        tagWidth = std::max(tagWidth, static_cast<qsizetype>(f.tag.size()));
        controlWidth = std::max(controlWidth, static_cast<qsizetype>(f.control.size()));
        valueWidth = std::max(valueWidth, values.back().size());
    }
    text += QStringLiteral("Tag").leftJustified(tagWidth + 2) +
            QStringLiteral("Control").leftJustified(controlWidth + 2) +
            QStringLiteral("Value").leftJustified(valueWidth + 2) + QStringLiteral("Shown\n");
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const ShownField& f = fields[i];
        QString line = fromLatin1(f.tag).leftJustified(tagWidth + 2) +
                       fromLatin1(f.control).leftJustified(controlWidth + 2) + values[i].leftJustified(valueWidth + 2);
        if (f.label)
            line += f.label->empty() ? QStringLiteral("(none)") : printableText(*f.label);
        if (!f.enabled)
            line += QLatin1String("  [switched off]");
        text += line.trimmed() + QLatin1Char('\n');
    }
    return text;
}

} // namespace

CommandResult runShow(CliContext& context, const QCommandLineParser& parser)
{
    const QString named = parser.positionalArguments().front();
    const Expected<DeviceSelector> selector = deviceSelectorOperand(named);
    if (!selector)
        return selector.failure();
    // Loaded only: nothing is changed or sent after the configuration request.
    JobSettings settings;
    settings.mode = JobSettings::Mode::Load;
    const Expected<DeviceRun> loaded = context.runDevice(*selector, named, {}, std::move(settings));
    if (!loaded)
        return loaded.failure();
    context.output().write(ShowReport(context, *loaded));
    return std::nullopt;
}

Command showCommand()
{
    return {QStringLiteral("show"),
            QStringLiteral("Print a device's configuration as its window shows it"),
            QStringLiteral("Prints every field of the device's setup window with the value as loaded and, "
                           "for lists, the entry shown."),
            {deviceOperand()},
            {},
            runShow};
}

} // namespace lv
