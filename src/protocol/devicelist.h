// SPDX-License-Identifier: Apache-2.0
#pragma once

// Search replies and the lines of the device list built from them.
//
// A search reply: "AX " + MAC field (six decimal numbers joined by ".") + "/" +
// IP + "/" + device ID, optionally followed by a carriage return and more.
// A device-list line: 6 blanks, the 17-character MAC text, 20 blanks, the IP
// (from character 44), 2 blanks per character the IP is short of 15, 19 blanks,
// the device ID.

#include "flattextmap.h"
#include "macaddress.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lv {

struct SearchReply {
    std::string macField; // "0.80.194.1.2.3"
    std::string macText;  // "00-50-C2-01-02-03"
    std::string ip;
    std::string deviceId; // empty when the reply has no carriage return
};

// A search reply read in place: its fields are views into the datagram, and the MAC
// is kept as its value and its text beside them, so reading a reply allocates nothing.
struct SearchReplyView {
    std::string_view macField;
    std::string_view ip;
    std::string_view deviceId;
    MacAddress mac;
    std::array<char, 17> macChars{};

    std::string_view macText() const { return {macChars.data(), macChars.size()}; }
};

// Parses one search reply datagram. A reply that does not start with "A", lacks
// either "/", has a carriage return before the second "/", or whose MAC field is
// not six decimal numbers from 0 to 255 gives no result. The view is valid while
// the datagram is.
std::optional<SearchReplyView> viewSearchReply(std::string_view datagram);
// The same reply with its fields copied.
std::optional<SearchReply> parseSearchReply(std::string_view datagram);

// The line of the device list for one reply.
std::string deviceListLine(std::string_view macText, std::string_view ip, std::string_view deviceId);

// Where the first two "/" of a text stand (a search reply, a command's header); nothing unless it
// holds two.
std::optional<std::pair<std::size_t, std::size_t>> twoSlashes(std::string_view text);

// The MAC field of a raw entry: the characters after its first blank up to its
// first "/"; empty when either is missing.
std::string macFieldOfEntry(std::string_view rawEntry);

// The address part of the configuration request: characters 4 up to and
// including the second "/" of the raw entry. No result unless the entry starts
// with "AX" and holds two "/".
std::optional<std::string> addressPartOfEntry(std::string_view rawEntry);

// The raw entry with its IP (between the first and the second "/") replaced by
// `newIp`; everything else stays as received. No result unless the entry holds
// two "/".
std::optional<std::string> entryWithIp(std::string_view rawEntry, std::string_view newIp);

// The 17 characters of a line that start 2 characters before its first "-".
std::string macTextOfLine(std::string_view line);

// Rewrites the IP column of a line: the first 43 characters, the new IP, its
// filler, then the part of the old line that followed the loaded IP and its filler.
// A line shorter than that layout keeps what it has; nothing is read past its end.
std::string patchIpColumn(std::string_view line, std::string_view loadedIp, std::string_view newIp);

// Rewrites the device-ID column: the line without its last (loaded length + 1)
// characters (all of it when it is shorter), the new ID cut to 8 characters, one blank.
std::string patchDeviceIdColumn(std::string_view line, std::string_view loadedId, std::string_view newId);

// The visible lines and the raw replies they were built from, paired index by
// index. The duplicate test compares whole datagrams exactly, through a hash
// index, so a search answered by thousands of devices stays linear.
class DeviceList {
public:
    // Adds the reply unless an identical raw entry is listed or the reply is
    // malformed. Returns the new index, or -1 when nothing was added; for an
    // identical entry `listed` (when given) is set to the index of the first one
    // that holds it.
    int add(std::string_view datagram, int* listed = nullptr);
    void clear();

    std::size_t size() const { return m_raw.size(); }
    const std::string& raw(std::size_t i) const { return m_raw.at(i); }
    // The line of an entry, built from its reply when it is first asked for (a listing that is
    // only printed never needs one), or as set.
    const std::string& line(std::size_t i) const;

    void setLine(std::size_t i, std::string line);
    // Rewrites a raw entry and keeps the duplicate index in step with it.
    void setRaw(std::size_t i, std::string raw);

    bool contains(std::string_view datagram) const;

private:
    std::vector<std::string> m_raw;
    mutable std::vector<std::string> m_lines;
    mutable std::vector<bool> m_lineBuilt; // beside each line: built or set
    // How many raw entries hold each text (a rewritten entry may equal another one), and the first
    // index that holds it.
    struct Holders {
        int count = 0;
        int first = -1;
    };
    void countRaw(const std::string& raw, int index);
    void uncountRaw(const std::string& raw, int index);
    FlatTextMap<Holders> m_rawCount;
};

} // namespace lv
