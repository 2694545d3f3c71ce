// SPDX-License-Identifier: Apache-2.0
// The texts of failed exchanges, for the window and the CLI.

#include "failuretexts.h"

#include <QHostAddress>

#include "tagmessage.h"

namespace lv {

// ---- the search ----

QString windowNothingAnsweredText()
{
    return QStringLiteral("No device answered");
}

QString windowSearchNotSentText()
{
    return QStringLiteral("The search probe could not be sent");
}

QString cliSearchNotSentText(const QString& target, quint16 port)
{
    return QStringLiteral("the search probe could not be sent to %1:%2").arg(target).arg(port);
}

QString windowNoInterfaceText(const QString& name)
{
    return QStringLiteral("The interface %1 is not there").arg(name);
}

QString cliNoInterfaceText(const QString& name)
{
    return QStringLiteral("there is no network interface %1").arg(name);
}

QString cliNotFoundText(const QString& named)
{
    return QStringLiteral("no device %1 answered the search").arg(named);
}

QString fleetNotFoundText()
{
    return QStringLiteral("no answer to the search");
}

// ---- the configuration request ----

QString windowNotADeviceText(const QString& mac)
{
    return QStringLiteral("%1 is not a device that can be asked").arg(mac);
}

QString fleetNotADeviceText()
{
    return QStringLiteral("the search answer names no device");
}

QString windowRequestNotSentText(const QString& mac)
{
    return QStringLiteral("The request to %1 could not be sent").arg(mac);
}

QString fleetRequestNotSentText()
{
    return QStringLiteral("the configuration request could not be sent");
}

QString windowRequestNoAnswerText(const QString& mac, int timeoutMs)
{
    return QStringLiteral("%1 did not answer within %2 s (check the setup password and the command port)")
        .arg(mac)
        .arg(timeoutMs / 1000);
}

QString cliRequestNoAnswerText(const QString& mac, int timeoutMs)
{
    return QStringLiteral("device %1 did not answer the configuration request within %2 ms").arg(mac).arg(timeoutMs);
}

QString fleetRequestNoAnswerText(int timeoutMs)
{
    return QStringLiteral("no answer to the configuration request within %1 ms").arg(timeoutMs);
}

QString windowNotAReplyText(const QString& mac)
{
    return QStringLiteral("The answer of %1 is not a configuration reply").arg(mac);
}

QString fleetNotAReplyText()
{
    return QStringLiteral("the answer to the configuration request is not one");
}

QString incompleteReplyText(std::size_t missing)
{
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

QString windowIncompleteReplyText(const QString& mac, std::size_t missing)
{
    return QStringLiteral("%1 sent an %2; no window was opened").arg(mac, incompleteReplyText(missing));
}

QString cliIncompleteReplyText(const QString& mac, std::size_t missing)
{
    return QStringLiteral("device %1: %2").arg(mac, incompleteReplyText(missing));
}

QString windowNoSetupWindowText(const QString& mac, const QString& model)
{
    return QStringLiteral("%1 is a %2, which has no setup window").arg(mac, model);
}

QString cliNoWindowText(const QString& printableModel)
{
    return QStringLiteral("no window opens for model %1; nothing to set").arg(printableModel);
}

// ---- the Update ----

QString windowNoMacMessage()
{
    return QStringLiteral("The device's reply carried no MAC address, so no command can name the device. "
                          "Nothing was sent.");
}

QString cliNoMacText(const QString& mac)
{
    return QStringLiteral("the reply of %1 carried no MAC address, so no command can name the device; nothing was "
                          "sent")
        .arg(mac);
}

QString fleetNoMacText()
{
    return QStringLiteral("the reply carried no MAC address, so no command can name the device; nothing was sent");
}

QString windowUpdateNoAnswerText(const QString& mac)
{
    return QStringLiteral("%1 did not confirm the update").arg(mac);
}

QString windowUpdateNoAnswerMessage()
{
    return QStringLiteral("The device did not answer. Your changes were not confirmed; press Update to send them "
                          "again or Cancel to close.");
}

QString cliUpdateNoAnswerText(const QString& mac, int timeoutMs)
{
    return QStringLiteral("device %1 did not answer the update within %2 ms").arg(mac).arg(timeoutMs);
}

QString fleetUpdateNoAnswerText(int timeoutMs)
{
    return QStringLiteral("no answer to the update within %1 ms").arg(timeoutMs);
}

QString windowUpdateNotSentText(const QString& mac)
{
    return QStringLiteral("The update of %1 could not be sent").arg(mac);
}

QString windowUpdateNotSentMessage()
{
    return QStringLiteral("The update could not be sent (it is too large for one datagram, or the network refused "
                          "it). Nothing was changed on the device; your changes are still here.");
}

QString cliUpdateNotSentText(const QString& mac, std::size_t setCommandBytes)
{
    return QStringLiteral("the update of %1 could not be sent (%2 bytes; one datagram carries at most %3); nothing "
                          "was sent")
        .arg(mac)
        .arg(setCommandBytes)
        .arg(kMaxDatagramBytes);
}

QString fleetTooLargeText(std::size_t setCommandBytes)
{
    return QStringLiteral("the set command would be %1 bytes; one datagram carries at most %2; nothing was sent")
        .arg(setCommandBytes)
        .arg(kMaxDatagramBytes);
}

QString fleetSetNotSentText()
{
    return QStringLiteral("the set command could not be sent");
}

QString fleetUpdateCommandNotSentText()
{
    return QStringLiteral("the \"U \" command could not be sent");
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

// ---- the MAC change ----

QString windowMacNoAnswerText(const QString& mac)
{
    return QStringLiteral("%1 gave no answer to the MAC change").arg(mac);
}

QString cliMacNoAnswerText(const QString& named, int timeoutMs)
{
    return QStringLiteral("device %1 did not answer the MAC change within %2 ms").arg(named).arg(timeoutMs);
}

QString cliMacMalformedText(const QString& named)
{
    return QStringLiteral("device %1 answered, but its answer names no new MAC address; nothing is known to have "
                          "changed")
        .arg(named);
}

QString cliMacMismatchText(const QString& named, const QString& reported, const QString& asked)
{
    return QStringLiteral("device %1 reports the MAC address %2, not %3").arg(named, reported, asked);
}

QString windowMacPasswordErrorText()
{
    return QStringLiteral("MAC Password Error");
}

QString cliMacPasswordErrorText()
{
    return QStringLiteral("MAC Password Error: that is not the access code of the MAC service; nothing was sent");
}

} // namespace lv
