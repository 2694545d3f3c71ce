// SPDX-License-Identifier: Apache-2.0
#pragma once

// Why a search finds what it finds: per network interface, whether it is up, its IPv4 addresses,
// whether it can broadcast, whether the probe left through it and how many answers came back there;
// and the likely causes of an empty list, most basic first. The CLI's diagnose and the window's
// "No device answered" both read it.

#include "sessionstate.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>

namespace lv {

class DeviceSearch;

// One network interface as the diagnosis saw it; index 0 stands for "where the routing table sends",
// the probe's way when it is aimed at a directed broadcast or one address.
struct InterfaceReport {
    QString name;
    int index = 0;
    bool up = false;
    QStringList addresses; // IPv4 "address/prefix"
    bool canBroadcast = false;
    bool probed = false;   // the search sent its probe through this interface
    bool sent = false;     // and the probe left
    QString sendError;     // why it did not
    int answers = 0;       // datagrams that came back through it
    int searchAnswers = 0; // of which search answers
};

inline bool hasIPv4(const InterfaceReport& report)
{
    return !report.addresses.isEmpty();
}

struct Diagnosis {
    quint16 port = 0;
    QString target;            // where the probe went
    bool lanBroadcast = false; // to 255.255.255.255, through every card that can broadcast
    int waitMs = 0;
    int devices = 0; // listed by the search
    // When nothing answered on a port other than the default one, the devices a second probe to the
    // default port found: the likeliest cause then is a wrong --port or Command Port.
    quint16 defaultPort = 0; // 0: no second probe was made
    int defaultPortDevices = 0;
    std::vector<InterfaceReport> interfaces;
};

// Why no device may have answered, most basic first.
enum class Cause {
    NoBroadcastInterface, // no interface is up, has an IPv4 address and can broadcast
    ProbeNotSent,         // the probe could not leave through some interface
    NoSearchAnswer,       // datagrams came back, but none was a search answer
    NoAnswer,             // nothing came back through any interface
    OtherPort,            // nothing on the chosen port, but devices answered on the default one
};

// The causes that fit, in the order above; none when a device answered.
std::vector<Cause> likelyCauses(const Diagnosis& diagnosis);
QString causeKey(Cause cause);

// How to let the devices' answers through this system's firewall, for the command port `port`.
QString firewallRuleHint(quint16 port);
// A likely cause in the main window's words: it names the window's menus and boxes to change.
// How a front end names the remedies in the causes' plain words: an option or a menu.
struct Remedies {
    QString target;     // aims the search at another network or address
    QString card;       // picks another network card
    QString port;       // sets the command port
    QString seeAnswers; // a sentence on how to see what came back; may be empty
    QString password;   // gives the setup password
    QString usePort;    // sets the command port to %1
};
QString causeText(Cause cause, const Diagnosis& diagnosis, const Remedies& how);
// The causes for the window, naming its menus.
QString windowCauseText(Cause cause, const Diagnosis& diagnosis);
// What the main window shows of a search nobody answered: per interface its state, IPv4 addresses,
// the probe and the answers through it, then the command port and the likely causes.
QString windowDiagnosisText(const Diagnosis& diagnosis);
// Watches one search from the moment its probe went out: make it right after DeviceSearch::start(),
// read result() once the wait is over. Answers stop counting when it is destroyed.
class SearchDiagnosis final {
public:
    SearchDiagnosis(DeviceSearch& search, const SessionState& state, int waitMs);
    ~SearchDiagnosis();
    SearchDiagnosis(const SearchDiagnosis&) = delete;
    SearchDiagnosis& operator=(const SearchDiagnosis&) = delete;

    // What was seen so far, with the number of devices listed now.
    const Diagnosis& result();

private:
    DeviceSearch& m_search;
    Diagnosis m_diagnosis;
    std::vector<QMetaObject::Connection> m_connections;
};

} // namespace lv
