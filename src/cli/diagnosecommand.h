#pragma once

// linkvane-cli diagnose: why a search finds what it finds. The probe goes out as the search sends it;
// then, per network interface, whether it is up, its IPv4 addresses, whether it can broadcast, whether
// the probe left through it and how many answers came back there, and the likely causes of an empty
// list in plain words.

#include "command.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace lv {

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

struct Diagnosis {
    quint16 port = 0;
    QString target;            // where the probe went
    bool lanBroadcast = false; // to 255.255.255.255, through every card that can broadcast
    int waitMs = 0;
    int devices = 0; // listed by the search
    std::vector<InterfaceReport> interfaces;
};

// Why no device may have answered, most basic first.
enum class Cause {
    NoBroadcastInterface, // no interface is up, has an IPv4 address and can broadcast
    ProbeNotSent,         // the probe could not leave through some interface
    NoSearchAnswer,       // datagrams came back, but none was a search answer
    NoAnswer,             // nothing came back through any interface
};

// The causes that fit, in the order above; none when a device answered.
std::vector<Cause> likelyCauses(const Diagnosis& diagnosis);
QString causeKey(Cause cause);
QString causeText(Cause cause, const Diagnosis& diagnosis);

class DiagnoseCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("diagnose"); }
    QString summary() const override
    {
        return QStringLiteral("Show why a search finds what it finds, per network interface");
    }
    QString description() const override
    {
        return QStringLiteral(
            "Sends the search probe as search does and waits --wait ms. Then lists every network interface: up or "
            "down, its IPv4 addresses, whether it can broadcast, whether the probe left through it and how many "
            "answers (and search answers) came back there; then the command port and, when no device answered, "
            "the likely causes. Exit 0 when a device answered, 3 when none did.");
    }
    CommandResult execute(CliContext& context, const QCommandLineParser& parser) override;
};

} // namespace lv
