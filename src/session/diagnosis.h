// SPDX-License-Identifier: Apache-2.0
#pragma once

// Why a search finds what it finds: per network interface, whether it is up, its IPv4 addresses,
// whether it can broadcast, whether the probe left through it and how many answers came back there;
// and the likely causes of an empty list, most basic first, or what is amiss with a list that has
// devices. The CLI's diagnose and the window's "No device answered" both read it.

#include "sessionstate.h"

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

// Devices that answered through one card: how many, one of their addresses, and the card's networks.
struct CardDevices {
    QString card;
    int index = 0;
    int devices = 0;
    QString example;      // the address one of them answered from
    QStringList networks; // the card's IPv4 networks, "10.1.2.0/24"
};

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
    // When nothing answered through the one card chosen, the devices a second probe through every card
    // found through the other cards: the choice of card kept them out.
    QString chosenCard;
    std::vector<CardDevices> keptOut;
    // Per card, the devices that answered from an address outside every network of that card.
    std::vector<CardDevices> outsideSubnet;
    std::vector<InterfaceReport> interfaces;
};

// Why no device may have answered, most basic first; and, once devices answered, what is amiss.
enum class Cause {
    NoBroadcastInterface, // no interface is up, has an IPv4 address and can broadcast
    ProbeNotSent,         // the probe could not leave through some interface
    InterfaceKeptOut,     // nothing through the chosen card, but devices answered through others
    OtherPort,            // nothing on the chosen port, but devices answered on the default one
    NoSearchAnswer,       // datagrams came back, but none was a search answer
    NoAnswer,             // nothing came back through any interface
    OutsideSubnet,        // devices answered from outside every network of their card
};

// The causes that fit, in the order above; when a device answered, only OutsideSubnet may.
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
    QString everyCard;  // searches through every card
    QString useCard;    // picks the card %1
};
QString causeText(Cause cause, const Diagnosis& diagnosis, const Remedies& how);
// The causes for the window, naming its menus.
QString windowCauseText(Cause cause, const Diagnosis& diagnosis);
// What the main window shows of a search nobody answered: per interface its state, IPv4 addresses,
// the probe and the answers through it, then the command port and the likely causes.
QString windowDiagnosisText(const Diagnosis& diagnosis);
// The devices `search` listed, per card they answered through (card 0: the routing table's way), with
// the cards' networks from `interfaces`; with `outsideOnly`, only those that answered from an address
// outside every network of their card (cards without a network are left out then).
std::vector<CardDevices> devicesByCard(const DeviceSearch& search, const std::vector<InterfaceReport>& interfaces,
                                       bool outsideOnly);
// What `search` saw since its last start(), once its wait of `waitMs` is over: per card what the probe
// did and what came back through it, and the devices listed. Where the probe went is the search's own;
// the cards are described as they are when this is called.
Diagnosis diagnose(const DeviceSearch& search, const SessionState& state, int waitMs);

} // namespace lv
