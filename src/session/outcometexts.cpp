// SPDX-License-Identifier: Apache-2.0
// The texts of the ends of exchanges, per audience.

#include "outcometexts.h"

#include "catalogue.h"
#include "devicesearch.h"
#include "latin1.h"
#include "macaddress.h"
#include "tagmessage.h"

#include <QHostAddress>

#include <algorithm>
#include <array>

namespace lv {

namespace {

QString modelText(const ConfigRequestResult& result, const TextContext& context)
{
    return context.model.isEmpty() ? fromLatin1(result.modelVersion.model) : context.model;
}

// A device whose model opens no setup window; a fleet says what the CLI says.
QString noWindowText(Audience audience, const QString& device, const QString& model)
{
    if (audience == Audience::Window)
        return QStringLiteral("%1 is a %2, which has no setup window").arg(device, model);
    return QStringLiteral("no window opens for model %1; nothing to set").arg(model);
}

QString windowText(const SearchResult& result, const TextContext& context)
{
    switch (result.outcome) {
    case SearchResult::Outcome::NothingAnswered:
        return QStringLiteral("No device answered");
    case SearchResult::Outcome::NotSent:
        return QStringLiteral("The search probe could not be sent");
    case SearchResult::Outcome::NoInterface:
        return QStringLiteral("The interface %1 is not there").arg(context.interfaceName);
    case SearchResult::Outcome::Listed:
    case SearchResult::Outcome::Aborted:
        break;
    }
    return {};
}

QString windowText(const ConfigRequestResult& result, const TextContext& context)
{
    const QString& mac = context.device;
    using Outcome = ConfigRequestResult::Outcome;
    switch (result.outcome) {
    case Outcome::NotSent:
        return QStringLiteral("The request to %1 could not be sent").arg(mac);
    case Outcome::NotADevice:
        return QStringLiteral("%1 is not a device that can be asked").arg(mac);
    case Outcome::Incomplete:
        return QStringLiteral("%1 sent an %2; no window was opened")
            .arg(mac, incompleteReplyText(result.missing.size()));
    case Outcome::NoAnswer:
        if (result.reply.empty())
            return QStringLiteral("%1 did not answer within %2 s (check the setup password and the command port)")
                .arg(mac)
                .arg(context.timeoutMs / 1000);
        [[fallthrough]];
    case Outcome::NotAReply:
    case Outcome::Aborted:
        // Something came, but it never became a complete reply (no "MAC") or does not start with "A".
        return QStringLiteral("The answer of %1 is not a configuration reply").arg(mac);
    case Outcome::Answered:
        break;
    }
    if (!result.dispatch.windowDef)
        return noWindowText(Audience::Window, mac, modelText(result, context));
    return QStringLiteral("%1 opened").arg(operatorWindowName(*result.dispatch.windowDef));
}

QString cliText(const ConfigRequestResult& result, const TextContext& context)
{
    switch (result.outcome) {
    case ConfigRequestResult::Outcome::NotSent:
        return QStringLiteral("the configuration request to %1 could not be sent").arg(context.device);
    case ConfigRequestResult::Outcome::Incomplete:
        return QStringLiteral("device %1: %2").arg(context.device, incompleteReplyText(result.missing.size()));
    case ConfigRequestResult::Outcome::Answered:
        if (result.dispatch.windowDef)
            return {};
        return noWindowText(Audience::Cli, context.device, modelText(result, context));
    case ConfigRequestResult::Outcome::NoAnswer:
    case ConfigRequestResult::Outcome::NotAReply:
    case ConfigRequestResult::Outcome::NotADevice:
    case ConfigRequestResult::Outcome::Aborted:
        break;
    }
    return QStringLiteral("device %1 did not answer the configuration request within %2 ms")
        .arg(context.device)
        .arg(context.timeoutMs);
}

QString fleetText(const ConfigRequestResult& result, const TextContext& context)
{
    switch (result.outcome) {
    case ConfigRequestResult::Outcome::NotADevice:
        return QStringLiteral("the search answer names no device");
    case ConfigRequestResult::Outcome::NotSent:
        return QStringLiteral("the configuration request could not be sent");
    case ConfigRequestResult::Outcome::NoAnswer:
        return QStringLiteral("no answer to the configuration request within %1 ms").arg(context.timeoutMs);
    case ConfigRequestResult::Outcome::NotAReply:
        return QStringLiteral("the answer to the configuration request is not one");
    case ConfigRequestResult::Outcome::Incomplete:
        return incompleteReplyText(result.missing.size());
    case ConfigRequestResult::Outcome::Aborted:
        return QStringLiteral("interrupted while its configuration was read; nothing was sent");
    case ConfigRequestResult::Outcome::Answered:
        break;
    }
    // The fleet says what the CLI says of a model without a window.
    return cliText(result, context);
}

QString windowText(const UpdateResult& result, const TextContext& context)
{
    switch (result.outcome) {
    case UpdateResult::Outcome::Answered:
        return QStringLiteral("%1 updated").arg(context.device);
    case UpdateResult::Outcome::NoAnswer:
        return QStringLiteral("%1 did not confirm the update").arg(context.device);
    case UpdateResult::Outcome::NotSent:
    case UpdateResult::Outcome::TooLarge:
    case UpdateResult::Outcome::Aborted:
        break;
    }
    return QStringLiteral("The update of %1 could not be sent").arg(context.device);
}

QString cliText(const UpdateResult& result, const TextContext& context)
{
    switch (result.outcome) {
    case UpdateResult::Outcome::Answered:
        return {};
    case UpdateResult::Outcome::NotSent:
    case UpdateResult::Outcome::TooLarge:
        return QStringLiteral("the update of %1 could not be sent (%2 bytes; one datagram carries at most %3); "
                              "nothing was sent")
            .arg(context.device)
            .arg(context.setCommandBytes)
            .arg(kMaxDatagramBytes);
    case UpdateResult::Outcome::NoAnswer:
    case UpdateResult::Outcome::Aborted:
        break;
    }
    return QStringLiteral("device %1 did not answer the update within %2 ms")
        .arg(context.device)
        .arg(context.timeoutMs);
}

QString fleetText(const UpdateResult& result, const TextContext& context)
{
    switch (result.outcome) {
    case UpdateResult::Outcome::Answered:
        break;
    case UpdateResult::Outcome::NoAnswer:
        return QStringLiteral("no answer to the update within %1 ms").arg(context.timeoutMs);
    case UpdateResult::Outcome::NotSent:
        return result.setSent() ? QStringLiteral("the \"U \" command could not be sent")
                                : QStringLiteral("the set command could not be sent");
    case UpdateResult::Outcome::TooLarge:
        return tooLargeText(context.setCommandBytes);
    case UpdateResult::Outcome::Aborted:
        if (!result.setSent())
            return QStringLiteral("interrupted before the set command; nothing was sent");
        return QStringLiteral("interrupted after S: the set command was sent, the \"U \" commands were not "
                              "confirmed");
    }
    return {};
}

QString text(const VerifyResult& result, Audience audience, const TextContext& context)
{
    const QString& mac = context.device;
    // A fleet's line says what the check found in its own columns; a check cut short is said by the
    // job's gate (jobsteps.h).
    if (audience == Audience::Fleet)
        return {};
    switch (result.outcome) {
    case VerifyResult::Outcome::Verified:
        return audience == Audience::Window ? QStringLiteral("%1 updated and verified").arg(mac) : QString();
    case VerifyResult::Outcome::Mismatch:
        break;
    case VerifyResult::Outcome::NoAnswer:
    case VerifyResult::Outcome::Aborted:
        // The window says nothing of a check that gave way to the next one.
        if (audience == Audience::Window)
            return result.outcome == VerifyResult::Outcome::NoAnswer
                       ? QStringLiteral("%1 updated; the check got no answer").arg(mac)
                       : QString();
        return QStringLiteral("%1 confirmed the update, but the check got no answer").arg(mac);
    }
    if (audience != Audience::Window)
        return QStringLiteral("%1 confirmed the update, but the check found other values").arg(mac);
    for (const VerifiedField& field : result.fields)
        if (!field.matches())
            return QStringLiteral("%1 updated, but it reports %2 %3 (sent %4)")
                .arg(mac, fromLatin1(field.tag), shownValue(context.window, field.tag, field.reported),
                     shownValue(context.window, field.tag, field.sent));
    return QStringLiteral("%1 updated, but it reports ").arg(mac);
}

QString windowText(const MacChangeResult& result, const TextContext& context)
{
    const QString& mac = context.device;
    switch (result.outcome) {
    case MacChangeResult::Outcome::NotSent:
        return QStringLiteral("The MAC change of %1 could not be sent").arg(mac);
    case MacChangeResult::Outcome::NoAnswer:
        return QStringLiteral("%1 gave no answer to the MAC change").arg(mac);
    case MacChangeResult::Outcome::Malformed:
        // The device may have taken the new address all the same: a new search shows which it has.
        return QStringLiteral("%1 answered the MAC change with no readable address; search again to see it").arg(mac);
    case MacChangeResult::Outcome::Unchanged:
        return QStringLiteral("%1 kept its MAC address").arg(mac);
    case MacChangeResult::Outcome::Changed:
        return QStringLiteral("%1: MAC changed to %2")
            .arg(mac, fromLatin1(result.newMac ? result.newMac->text() : result.newField));
    case MacChangeResult::Outcome::Aborted:
        break;
    }
    return {};
}

QString cliText(const MacChangeResult& result, const TextContext& context)
{
    const QString& named = context.device;
    if (!result.replied())
        return QStringLiteral("device %1 did not answer the MAC change within %2 ms").arg(named).arg(context.timeoutMs);
    // An answer that keeps the old address names no new one when its field is empty.
    if (result.outcome == MacChangeResult::Outcome::Malformed ||
        (result.outcome == MacChangeResult::Outcome::Unchanged && result.newField.empty()))
        return QStringLiteral("device %1 answered, but its answer names no new MAC address; nothing is known to "
                              "have changed")
            .arg(named);
    // Done when the device now carries the address asked for (also when it carried it already).
    if (MacAddress::fromField(result.newField) == MacAddress::fromField(context.askedMac))
        return {};
    return QStringLiteral("device %1 reports the MAC address %2, not %3")
        .arg(named, fromLatin1(result.newField), fromLatin1(context.askedMac));
}

// A result each audience words in its own way.
template <typename Result> QString byAudience(const Result& result, Audience audience, const TextContext& context)
{
    switch (audience) {
    case Audience::Window:
        return windowText(result, context);
    case Audience::Cli:
        return cliText(result, context);
    case Audience::Fleet:
        break;
    }
    return fleetText(result, context);
}

} // namespace

// A value of a checked field as the window shows it: a list field's entry ("115200" for index 5), a
// password as "***".
QString shownValue(const WindowDef* window, const std::string& tag, const std::string& value)
{
    const FieldDef* field = window ? window->fieldByTag(tag) : nullptr;
    if (field && field->secret)
        return QStringLiteral("***");
    const std::string* entry = FieldDef::entryFor(window, tag, value);
    return fromLatin1(entry ? *entry : value);
}

QString describe(const SearchResult& result, Audience audience, const TextContext& context)
{
    if (audience == Audience::Window)
        return windowText(result, context);
    switch (result.outcome) {
    case SearchResult::Outcome::NotSent:
        return QStringLiteral("the search probe could not be sent to %1:%2").arg(context.target).arg(context.port);
    case SearchResult::Outcome::NoInterface:
        return QStringLiteral("there is no network interface %1").arg(context.interfaceName);
    case SearchResult::Outcome::NothingAnswered:
        return notFoundText(audience, context.device);
    case SearchResult::Outcome::Listed:
    case SearchResult::Outcome::Aborted:
        break;
    }
    return {};
}

QString describe(const ConfigRequestResult& result, Audience audience, const TextContext& context)
{
    return byAudience(result, audience, context);
}

QString describe(const UpdateResult& result, Audience audience, const TextContext& context)
{
    return byAudience(result, audience, context);
}

QString describe(const VerifyResult& result, Audience audience, const TextContext& context)
{
    return text(result, audience, context);
}

QString describe(const MacChangeResult& result, Audience audience, const TextContext& context)
{
    // A fleet changes no MAC address: were it to, it would say what the CLI says.
    return audience == Audience::Window ? windowText(result, context) : cliText(result, context);
}

QString describe(const DatagramResult& result, const DeviceAction& action, Audience audience,
                 const TextContext& context)
{
    return action.describe ? action.describe(result, audience, context) : QString();
}

QString describe(const ReachResult& result, Audience audience, const TextContext&)
{
    switch (result.outcome) {
    case ReachResult::Outcome::NotFound:
        return notFoundText(audience, result.detail);
    case ReachResult::Outcome::NoMatch:
        return QStringLiteral("no device matches select %1").arg(result.detail);
    case ReachResult::Outcome::NamedTwice:
        return QStringLiteral("the plan names this device twice (also as %1)").arg(result.detail);
    case ReachResult::Outcome::Shared:
        break;
    }
    return result.detail;
}

QString describe(const PrepareResult& result, Audience audience, const TextContext& context)
{
    const WindowDef* window = result.form ? &result.form->window() : nullptr;
    switch (result.outcome) {
    case PrepareResult::Outcome::Loaded:
    case PrepareResult::Outcome::Ready:
    case PrepareResult::Outcome::Unchanged:
        break;
    case PrepareResult::Outcome::NoWindow:
        return noWindowText(audience, context.device, context.model);
    case PrepareResult::Outcome::NoMac:
        return noMacText(audience, context.device);
    case PrepareResult::Outcome::WrongWindow:
        return QStringLiteral("the plan was written for %1, the device opens %2")
            .arg(result.plannedWindow, window ? fromLatin1(window->name) : QString());
    case PrepareResult::Outcome::Refused:
        return window ? typedRefusalText(result.refusal, *window) : QString();
    case PrepareResult::Outcome::TooLarge:
        return tooLargeText(result.plan ? result.plan->setCommand.size() : context.setCommandBytes);
    }
    return {};
}

QString describe(const GateResult& result, Audience, const TextContext&)
{
    switch (result.outcome) {
    case GateResult::Outcome::Passed:
        return {};
    case GateResult::Outcome::Interrupted:
        switch (result.point) {
        case GateResult::Point::Start:
            return QStringLiteral("interrupted before it started; nothing was sent");
        case GateResult::Point::BeforeSend:
            return QStringLiteral("interrupted once its configuration was read; nothing was sent");
        case GateResult::Point::Check:
            break;
        }
        return QStringLiteral("interrupted before the check after the update ended");
    case GateResult::Outcome::Refused:
        break;
    }
    return result.why;
}

QString resultText(FleetResult result)
{
    // In the order of FleetResult.
    static constexpr std::array<const char*, 11> kWords = {"updated",     "unchanged",  "not found",    "no answer",
                                                           "refused",     "loaded",     "would update", "not sent",
                                                           "interrupted", "incomplete", "mismatch"};
    return QString::fromLatin1(kWords.at(static_cast<std::size_t>(result)));
}

QString fleetSummaryText(const RunCounts& counts, int leftOut, qint64 elapsedMs)
{
    // These results are counted under their own words, in this order, "failed" before "refused".
    static constexpr std::array kOwnWords{FleetResult::Updated, FleetResult::WouldUpdate, FleetResult::Unchanged,
                                          FleetResult::Loaded, FleetResult::Mismatch};
    int failed = 0;
    for (const auto& [result, n] : counts.ended)
        if (result != FleetResult::Refused && std::ranges::find(kOwnWords, result) == kOwnWords.end())
            failed += n;
    QStringList parts;
    const auto count = [&parts](int n, const QString& word) {
        if (n > 0)
            parts << QStringLiteral("%1 %2").arg(n).arg(word);
    };
    for (const FleetResult result : kOwnWords)
        count(counts.of(result), resultText(result));
    count(failed, QStringLiteral("failed"));
    count(counts.of(FleetResult::Refused), resultText(FleetResult::Refused));
    const QString left = leftOut > 0 ? QStringLiteral(", %1 left out by --select").arg(leftOut) : QString();
    return (parts.isEmpty() ? QStringLiteral("no device") : parts.join(QStringLiteral(", "))) + left +
           QStringLiteral(" in %1 s").arg(QString::number(static_cast<double>(elapsedMs) / 1000.0, 'f', 1));
}

QString windowUpdateMessage(UpdateResult::Outcome outcome)
{
    switch (outcome) {
    case UpdateResult::Outcome::NotSent:
    case UpdateResult::Outcome::TooLarge:
        return QStringLiteral("The update could not be sent (it is too large for one datagram, or the network "
                              "refused it). Nothing was changed on the device; your changes are still here.");
    case UpdateResult::Outcome::NoAnswer:
        return QStringLiteral("The device did not answer. Your changes were not confirmed; press Update to send "
                              "them again or Cancel to close.");
    case UpdateResult::Outcome::Answered:
    case UpdateResult::Outcome::Aborted:
        break;
    }
    return {};
}

QString windowVerifyStartedText(const QString& mac)
{
    return QStringLiteral("%1 updated; checking what it reports now…").arg(mac);
}

QString windowVerifyDetails(const VerifyResult& result, const TextContext& context, int strangers)
{
    if (result.outcome != VerifyResult::Outcome::Mismatch)
        return strangersText(strangers);
    QStringList differing;
    for (const VerifiedField& field : result.fields)
        if (!field.matches())
            differing << QStringLiteral("%1: reports %2, sent %3")
                             .arg(fromLatin1(field.tag), shownValue(context.window, field.tag, field.reported),
                                  shownValue(context.window, field.tag, field.sent));
    QString details =
        QStringLiteral("Fields that differ from what the Update sent:\n") + differing.join(QLatin1Char('\n'));
    if (strangers > 0)
        details += QStringLiteral("\n") + strangersText(strangers);
    return details;
}

QString strangersText(int strangers)
{
    if (strangers <= 0)
        return {};
    return strangers == 1 ? QStringLiteral("1 datagram from another host was ignored")
                          : QStringLiteral("%1 datagrams from other hosts were ignored").arg(strangers);
}

QString searchCountText(int found, const DeviceSearch& search)
{
    QString text = found == 1 ? QStringLiteral("1 device answered") : QStringLiteral("%1 devices answered").arg(found);
    if (const int conflicts = search.conflictCount(); conflicts > 0)
        text += QStringLiteral("; %1 share an IP address with another device").arg(conflicts);
    if (const int conflicts = search.macConflictCount(); conflicts > 0)
        text += QStringLiteral("; %1 share a MAC address with a device at another IP address").arg(conflicts);
    // Unknown (-1) where the system does not tell: then nothing is said.
    if (const qint64 lost = search.lostAnswers(); lost > 0)
        text += QStringLiteral("; %1 answers were lost: the receive buffer overflowed").arg(lost);
    if (const qint64 unlisted = search.unlistedAnswers(); unlisted > 0)
        text += QStringLiteral("; %1 more answers were not listed").arg(unlisted);
    return text;
}

QString windowClosedText(const WindowDef& window)
{
    return QStringLiteral("%1 closed without sending").arg(operatorWindowName(window));
}

QString operatorWindowName(const WindowDef& window)
{
    if (window.isMultiPort())
        return QStringLiteral("%1-port setup").arg(window.portCount);
    const QString prefix = fromLatin1(window.titlePrefix);
    const qsizetype setup = prefix.indexOf(QStringLiteral("Setup"));
    const QString device = (setup < 0 ? prefix : prefix.left(setup)).simplified();
    return device.isEmpty() ? QStringLiteral("Setup") : device + QStringLiteral(" setup");
}

QString notFoundText(Audience audience, const QString& named)
{
    if (audience == Audience::Fleet)
        return QStringLiteral("no answer to the search");
    return QStringLiteral("no device %1 answered the search").arg(named);
}

QString incompleteReplyText(std::size_t missing)
{
    // A reply whose first piece came after its end can hold every item and still lack "MAC".
    if (missing == 0)
        return QStringLiteral("incomplete reply");
    return missing == 1 ? QStringLiteral("incomplete reply (1 field missing)")
                        : QStringLiteral("incomplete reply (%1 fields missing)").arg(missing);
}

QString sharedAnswerText(const QString& mac, const std::vector<DevicePeer>& senders)
{
    QStringList from;
    for (const DevicePeer& peer : senders)
        from.append(QStringLiteral("%1 port %2").arg(QHostAddress(peer.ipv4).toString()).arg(peer.port));
    return QStringLiteral("%1: the same search answer came from %2 senders (%3); another host answers in its "
                          "name, so nothing is sent to it")
        .arg(mac)
        .arg(senders.size())
        .arg(from.join(QStringLiteral(", ")));
}

QString tooLargeText(std::size_t setCommandBytes)
{
    return QStringLiteral("the set command would be %1 bytes; one datagram carries at most %2; nothing was sent")
        .arg(setCommandBytes)
        .arg(kMaxDatagramBytes);
}

QString noMacText(Audience audience, const QString& mac)
{
    switch (audience) {
    case Audience::Window:
        return QStringLiteral("The device's reply carried no MAC address, so no command can name the device. "
                              "Nothing was sent.");
    case Audience::Cli:
        return QStringLiteral("the reply of %1 carried no MAC address, so no command can name the device; nothing "
                              "was sent")
            .arg(mac);
    case Audience::Fleet:
        break;
    }
    return QStringLiteral("the reply carried no MAC address, so no command can name the device; nothing was sent");
}

QString windowFieldProblemMessage(const QString& tag)
{
    return QStringLiteral("%1 holds the tag of an item (\"<...>\" or \"</...>\") or a marker of the reply "
                          "(\"MODEL: \", \"VER:\"); the device would read other settings out of it. Nothing was sent.")
        .arg(tag);
}

QString cliRefusedValueText(SetError error, const QString& name, const QString& windowName, const QString& value,
                            const QStringList& entries)
{
    switch (error) {
    case SetError::None:
        break;
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
    case SetError::HoldsNul:
        return QStringLiteral("the value of %1 holds a NUL; the device would end the value there").arg(name);
    case SetError::NotOneLine:
        return QStringLiteral("the value of %1 is a secret and holds a CR or LF (a secret is one line of text)")
            .arg(name);
    case SetError::NoSuchEntry:
        return QStringLiteral("the list %1 of %2 holds no %3 (entries: %4; or #0 to #%5)")
            .arg(name, windowName, value, entries.join(QStringLiteral(", ")))
            .arg(static_cast<std::size_t>(entries.size()) - 1);
    }
    return {};
}

QString cliNotLatin1ValueText(const QString& name)
{
    return QStringLiteral("the value of %1 must be single-byte (Latin-1) text").arg(name);
}

QString typedRefusalText(const TypedRefusal& refusal, const WindowDef& window)
{
    const QString windowName = fromLatin1(window.name);
    switch (refusal.error) {
    case SetError::None:
        return cliNotLatin1ValueText(refusal.name);
    case SetError::UnknownName:
        return cliRefusedValueText(refusal.error, refusal.name, windowName, refusal.value) + QStringLiteral(" (") +
               settingNamesText(window) + QLatin1Char(')');
    case SetError::NoSuchEntry: {
        // A role names the field of this window that carries it.
        QStringList entries;
        if (const FieldDef* field = isLatin1(refusal.name) ? window.fieldByName(toLatin1(refusal.name)) : nullptr)
            for (const std::string& entry : field->entries)
                entries.append(fromLatin1(entry));
        return cliRefusedValueText(refusal.error, refusal.name, windowName, refusal.value, entries);
    }
    case SetError::SwitchedOff:
    case SetError::NotReported:
    case SetError::CarriesItem:
    case SetError::HoldsNul:
    case SetError::NotOneLine:
        break;
    }
    return cliRefusedValueText(refusal.error, refusal.name, windowName, refusal.value);
}

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

QString macTakenText(Audience audience, const QString& mac, const QString& otherDevice)
{
    if (audience == Audience::Window)
        return QStringLiteral("%1 is already the address of another listed device").arg(mac);
    return QStringLiteral("%1 is the MAC of another device that answered the search (%2); nothing was sent")
        .arg(mac, otherDevice);
}

QString macPasswordErrorText(Audience audience)
{
    if (audience == Audience::Window)
        return QStringLiteral("MAC Password Error");
    return QStringLiteral("MAC Password Error: that is not the access code of the MAC service; nothing was sent");
}

} // namespace lv
