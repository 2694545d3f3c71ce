#pragma once

// linkvane-cli diagnose: why a search finds what it finds. The probe goes out as the search sends it;
// then, per network interface, whether it is up, its IPv4 addresses, whether it can broadcast, whether
// the probe left through it and how many answers came back there, and the likely causes of an empty
// list in plain words.

#include "command.h"
#include "diagnosis.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace lv {

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
