// SPDX-License-Identifier: Apache-2.0
// The plan of linkvane-cli apply on arbitrary text: it is either read or refused with a message that
// says where; a plan that is read names every device once by a selector that parses again, carries
// only single-byte passwords and one entry per tag, and reads back the same when written out again.

#include "plan.h"

#include "fuzzcheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

using Entries = std::vector<std::pair<QString, QString>>;

// The names and values, in order: written out, every entry is the device's own, so where an entry came
// from (the defaults or the device) is not compared.
Entries sorted(const lv::SetEntries& set)
{
    Entries entries;
    for (const lv::SetEntry& entry : set)
        entries.emplace_back(entry.name, entry.value);
    std::sort(entries.begin(), entries.end());
    return entries;
}

QByteArray written(const lv::Plan& plan)
{
    QJsonArray devices;
    for (const lv::PlanEntry& device : plan.entries) {
        QJsonObject set;
        for (const lv::SetEntry& entry : device.set)
            set.insert(entry.name, entry.value);
        QJsonObject entry{{QStringLiteral("device"), device.device}, {QStringLiteral("set"), set}};
        if (device.password)
            entry.insert(QStringLiteral("password"), *device.password);
        if (!device.window.isEmpty())
            entry.insert(QStringLiteral("window"), device.window);
        devices.append(entry);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("devices"), devices}}).toJson(QJsonDocument::Compact);
}

void checkPosition(const QByteArray& text, qsizetype offset)
{
    const auto [line, column] = lv::lineAndColumn(text, offset);
    check(line >= 1 && line <= text.count('\n') + 1);
    check(column >= 1 && column <= text.size() + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    checkPosition(text, size == 0 ? 0 : data[0] * static_cast<qsizetype>(size) / 255);

    QString error;
    const std::optional<lv::Plan> plan = lv::readPlanJson(text, &error);
    if (!plan) {
        check(!error.isEmpty());
        return 0;
    }

    QSet<QString> named;
    for (const lv::PlanEntry& device : plan->entries) {
        const std::optional<lv::DeviceSelector> again = lv::parseDeviceSelector(device.device);
        check(again.has_value() && again->kind == device.selector.kind && again->text == device.selector.text);
        const QString key =
            QString::number(static_cast<int>(device.selector.kind)) + QString::fromStdString(device.selector.text);
        check(!named.contains(key));
        named.insert(key);
        if (device.password)
            check(std::all_of(device.password->begin(), device.password->end(),
                              [](QChar c) { return c.unicode() <= 0xFF; }));
        QSet<QString> tags;
        for (const lv::SetEntry& entry : device.set) {
            check(!tags.contains(entry.name));
            tags.insert(entry.name);
        }
    }

    // Written out and read again, the plan is the same (defaults are already in every device).
    QString againError;
    const std::optional<lv::Plan> reread = lv::readPlanJson(written(*plan), &againError);
    check(reread.has_value() && reread->entries.size() == plan->entries.size());
    for (std::size_t i = 0; i < plan->entries.size(); ++i) {
        const lv::PlanEntry& a = plan->entries[i];
        const lv::PlanEntry& b = reread->entries[i];
        check(a.device == b.device && a.password == b.password && a.window == b.window);
        check(sorted(a.set) == sorted(b.set));
    }
    return 0;
}
