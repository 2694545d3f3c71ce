#pragma once

// linkvane-cli search: the devices answering one probe.

#include "command.h"

namespace lv {

class SearchCommand final : public Command {
public:
    QString name() const override { return QStringLiteral("search"); }
    QString summary() const override { return QStringLiteral("List the devices that answer one search probe"); }
    QString description() const override
    {
        return QStringLiteral("Lists the devices that answer one search probe (after --wait, 1000 ms, or sooner "
                              "with --expect or --idle).");
    }
    QList<QCommandLineOption> options() const override;
    CommandResult execute(CliContext& context, const QCommandLineParser& parser) override;
};

} // namespace lv
