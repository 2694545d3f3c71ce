// SPDX-License-Identifier: Apache-2.0
#pragma once

// What the program says when an exchange with a device fails, in one place for the window and the CLI.
// Where the two say the same, one function serves both; where they say it differently (the window
// writes a sentence for its status bar or a message box, the CLI a line for a log, the fleet a line per
// device), the texts stand side by side under the failure they report.

#include "devicepeer.h"
#include "setupform.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <vector>

namespace lv {

// ---- the search ----
QString windowNothingAnsweredText();
QString windowSearchNotSentText();
QString cliSearchNotSentText(const QString& target, quint16 port);
QString windowNoInterfaceText(const QString& name);
QString cliNoInterfaceText(const QString& name);
// The device named did not answer the search.
QString cliNotFoundText(const QString& named);
QString fleetNotFoundText();

// ---- the configuration request ----
QString windowNotADeviceText(const QString& mac);
QString fleetNotADeviceText();
QString windowRequestNotSentText(const QString& mac);
QString fleetRequestNotSentText();
QString windowRequestNoAnswerText(const QString& mac, int timeoutMs);
QString cliRequestNoAnswerText(const QString& mac, int timeoutMs);
QString fleetRequestNoAnswerText(int timeoutMs);
QString windowNotAReplyText(const QString& mac);
QString fleetNotAReplyText();
// A reply that lacked items its window reads when the wait ended: "incomplete reply (N fields missing)";
// the window and the CLI name the device before it.
QString incompleteReplyText(std::size_t missing);
// A device whose search answer came, word for word, from two or more senders: which one is the device
// cannot be told, so nothing is sent to it (the window, the CLI and a fleet line alike).
QString sharedAnswerText(const QString& mac, const std::vector<DevicePeer>& senders);
QString windowIncompleteReplyText(const QString& mac, std::size_t missing);
QString cliIncompleteReplyText(const QString& mac, std::size_t missing);
// The model has no setup window.
QString windowNoSetupWindowText(const QString& mac, const QString& model);
QString cliNoWindowText(const QString& printableModel);

// ---- the Update ----
// The reply named no MAC address, so no command can name the device.
QString windowNoMacMessage();
QString cliNoMacText(const QString& mac);
QString fleetNoMacText();
// The update went out and the device did not answer.
QString windowUpdateNoAnswerText(const QString& mac);
QString windowUpdateNoAnswerMessage();
QString cliUpdateNoAnswerText(const QString& mac, int timeoutMs);
QString fleetUpdateNoAnswerText(int timeoutMs);
// The update could not be sent (too large for a datagram, or the socket refused it).
QString windowUpdateNotSentText(const QString& mac);
QString windowUpdateNotSentMessage();
QString cliUpdateNotSentText(const QString& mac, std::size_t setCommandBytes);
QString fleetTooLargeText(std::size_t setCommandBytes);
QString fleetSetNotSentText();
QString fleetUpdateCommandNotSentText();
// A value that carries the tag of an item, which the device would read other settings out of.
QString windowFieldProblemMessage(const QString& tag);
// A NAME=VALUE the window would not take (`error` says why); `entries` are the list's labels when the
// value names none of them.
QString cliRefusedValueText(SetError error, const QString& name, const QString& windowName, const QString& value,
                            const QStringList& entries = {});
QString cliNotLatin1ValueText(const QString& name);

// ---- the MAC change ----
QString windowMacNoAnswerText(const QString& mac);
QString cliMacNoAnswerText(const QString& named, int timeoutMs);
QString cliMacMalformedText(const QString& named);
QString cliMacMismatchText(const QString& named, const QString& reported, const QString& asked);
QString windowMacPasswordErrorText();
QString cliMacPasswordErrorText();

} // namespace lv
