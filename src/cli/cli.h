#pragma once

// linkvane-cli: search, show and set from the command line, through the same
// session classes as the GUI, so the bytes on the wire are the window's.

#include "catalogue.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>
#include <string>
#include <string_view>

namespace lv {

// Exit codes of linkvane-cli.
enum ExitCode : int {
    kExitDone = 0,
    kExitUsage = 1,
    kExitNotFound = 2,
    kExitNoAnswer = 3,
    kExitUnknownValue = 4,
};

// Runs one command. `args` are the arguments after the program name. Needs a
// QCoreApplication: the waits are event loops.
int runCli(const QStringList& args, QTextStream& out, QTextStream& err);

QString usageText();

// How the operator named a device on the command line.
struct DeviceSelector {
    enum class Kind { MacText, MacField, Ip };
    Kind kind = Kind::Ip;
    std::string text; // MacText: upper-case "00-50-C2-01-02-03"; MacField: normalised "0.80.194.1.2.3"
};

// "00-50-c2-01-02-03" (also with ":"), "0.80.194.1.2.3" or an IPv4 address; no result for anything else.
std::optional<DeviceSelector> parseDeviceSelector(const QString& text);

// True when the raw search reply names the device.
bool deviceMatches(const DeviceSelector& selector, std::string_view rawEntry);

// The list index for a value typed for a list field: an entry's label (exact,
// else the one entry that matches case-insensitively) or "#N". No result when
// the list does not hold it.
std::optional<int> listIndexForValue(const FieldDef& field, const QString& value);

// A JSON string literal of single-byte text: control characters (NUL included)
// as \u00XX, bytes above 127 as the Latin-1 characters they stand for.
QString jsonString(std::string_view bytes);

// Single-byte text for a person: control characters and backslashes escaped (\x00, \\).
QString printableText(std::string_view bytes);

} // namespace lv
