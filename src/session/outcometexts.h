// SPDX-License-Identifier: Apache-2.0
#pragma once

// What the program says about the end of an exchange with a device, in one place for its three front
// ends: describe(result, audience, context) gives the text an audience reads for each outcome. The
// window writes a sentence for its status bar, the CLI a line for its error stream, a fleet a line per
// device; where they say it differently, each audience keeps its own wording. An empty text means the
// audience says nothing of that outcome (it is not a failure there, or the front end never meets it).
//
// Texts that are not an exchange's (a refused value, a wrong access code, a device that did not answer
// the search at all) are the helpers after describe.

#include "devicepeer.h"
#include "exchanges.h"
#include "jobsteps.h"
#include "macchangeexchange.h"
#include "outcomes.h"
#include "searchexchange.h"
#include "setupform.h"
#include "verifyexchange.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <string>
#include <vector>

namespace lv {

class DeviceSearch;
struct WindowDef;

enum class Audience { Window, Cli, Fleet };

// What a text names beside the result; each exchange reads the members its texts need.
struct TextContext {
    QString device{};                  // the device: its MAC address as shown, or the name it was asked by
    int timeoutMs = 0;                 // the wait that ran out
    QString model{};                   // the model as the front end prints it; empty: as the reply wrote it
    std::size_t setCommandBytes = 0;   // the Update's set command
    std::string askedMac{};            // the MAC change: the new address field asked for
    const WindowDef* window = nullptr; // the window whose fields are shown (the check after an Update)
    QString interfaceName{};           // the search: the interface it keeps to
    QString target{};                  // the search: where its probe went, and the command port
    quint16 port = 0;
};

QString describe(const SearchResult& result, Audience audience, const TextContext& context = {});
QString describe(const ConfigRequestResult& result, Audience audience, const TextContext& context = {});
QString describe(const UpdateResult& result, Audience audience, const TextContext& context = {});
QString describe(const VerifyResult& result, Audience audience, const TextContext& context = {});
QString describe(const MacChangeResult& result, Audience audience, const TextContext& context = {});
QString describe(const DatagramResult& result, const DeviceAction& action, Audience audience,
                 const TextContext& context = {});
// The steps of a job that are not exchanges. `context.model` names a model without a window.
QString describe(const ReachResult& result, Audience audience, const TextContext& context = {});
QString describe(const PrepareResult& result, Audience audience, const TextContext& context = {});
QString describe(const GateResult& result, Audience audience, const TextContext& context = {});

// The word of a fleet's line: "updated", "would update", ...
QString resultText(FleetResult result);

// A value of a checked field as the window shows it: a list field's entry ("115200" for index 5), a
// password as "***". The device's bytes as they are: a caller that shows them escapes them.
QString shownValue(const WindowDef* window, const std::string& tag, const std::string& value);
// The closing line of a fleet: how many devices ended how, and how long it took: "200 updated, 3
// unchanged, 1 failed, 22 refused in 1.9 s". Every result without a word of its own there counts as
// failed; `leftOut` are the devices a narrowing selection left out.
QString fleetSummaryText(const RunCounts& counts, int leftOut, qint64 elapsedMs);

// The window's message box after an Update the device did not confirm; empty when it did.
QString windowUpdateMessage(UpdateResult::Outcome outcome);
// The window's status bar once a confirmed Update is checked.
QString windowVerifyStartedText(const QString& mac);
// The window's status bar tooltip after a check that found other values: every field that differs
// (`context.window` decodes list entries), then what was set aside from other hosts.
QString windowVerifyDetails(const VerifyResult& result, const TextContext& context, int strangers);
// "3 datagrams from other hosts were ignored": what an exchange set aside, for the status bar's tooltip.
QString strangersText(int strangers);
// "1 device answered; ...": the window's status bar once a search listed devices.
QString searchCountText(int found, const DeviceSearch& search);
// A setup window as the operator knows it, from its title: "KR-770A setup"; a multi-port window by
// its ports, "4-port setup".
QString operatorWindowName(const WindowDef& window);
// The window's status bar once a setup window closed without sending an Update: "KR-770A setup closed
// without sending".
QString windowClosedText(const WindowDef& window);

// The device named did not answer the search.
QString notFoundText(Audience audience, const QString& named);
// "incomplete reply (N fields missing)"; the window and the CLI name the device before it.
QString incompleteReplyText(std::size_t missing);
// A device whose search answer came, word for word, from two or more senders: which one is the device
// cannot be told, so nothing is sent to it (the window, the CLI and a fleet line alike).
QString sharedAnswerText(const QString& mac, const std::vector<DevicePeer>& senders);
// The set command would not fit one datagram: nothing was sent.
QString tooLargeText(std::size_t setCommandBytes);
// The reply named no MAC address, so no command can name the device.
QString noMacText(Audience audience, const QString& mac = {});
// A value that carries the tag of an item, which the device would read other settings out of.
QString windowFieldProblemMessage(const QString& tag);
// A NAME=VALUE the window would not take (`error` says why); `entries` are the list's labels when the
// value names none of them.
QString cliRefusedValueText(SetError error, const QString& name, const QString& windowName, const QString& value,
                            const QStringList& entries = {});
QString cliNotLatin1ValueText(const QString& name);
// A value typed into `window` that it would not take, and why; for a name it lacks, the names it has.
QString typedRefusalText(const TypedRefusal& refusal, const WindowDef& window);
// The names a window's settings go by: "fields: <tags it sends>; roles: <their roles>".
QString settingNamesText(const WindowDef& window);
// A new MAC address that another device answered the search with; the CLI names that device too.
QString macTakenText(Audience audience, const QString& mac, const QString& otherDevice = {});
// The access code is not the MAC service's.
QString macPasswordErrorText(Audience audience);

} // namespace lv
