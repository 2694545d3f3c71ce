// SPDX-License-Identifier: Apache-2.0
// linkvane-cli search.

#include "commandlist.h"
#include "optionnames.h"

#include "clicontext.h"
#include "interfacename.h"
#include "latin1.h"
#include "operands.h"

#include <QCommandLineParser>
#include <QNetworkInterface>

#include <algorithm>

namespace lv {

namespace {

void printStats(CliContext& context, qint64 formattedAtMs, qint64 listedAtMs)
{
    const SearchResult& search = context.lastSearch();
    const qint64 waitEnded = search.endedMs;
    QString text = QStringLiteral("stats: %1 devices listed; last new device at %2 ms after the probe; wait ended "
                                  "at %3 ms; listing formatted in %4 ms, written in %5 ms; done at %6 ms (%7 ms "
                                  "after the wait")
                       .arg(context.search().devices().size())
                       .arg(search.lastDeviceMs)
                       .arg(waitEnded)
                       .arg(formattedAtMs - waitEnded)
                       .arg(listedAtMs - formattedAtMs)
                       .arg(listedAtMs)
                       .arg(listedAtMs - waitEnded);
    if (search.lastDeviceMs >= 0)
        text += QStringLiteral(", %1 ms after the last device").arg(listedAtMs - search.lastDeviceMs);
    context.output().note(text + QStringLiteral(")\n"));
}

// When the search is over besides its --wait, as --expect and --idle say.
Expected<SearchEnds> searchEnds(const QCommandLineParser& parser)
{
    SearchEnds ends;
    const Expected<int> expect =
        numberOption(parser, kOptExpect, 1, 100000000, 0, QStringLiteral("--expect needs a number of devices from 1"));
    if (!expect)
        return expect.failure();
    const Expected<int> idle =
        numberOption(parser, kOptIdle, 0, 600000, -1, QStringLiteral("--idle needs milliseconds from 0 to 600000"));
    if (!idle)
        return idle.failure();
    ends.expect = *expect;
    ends.idleMs = *idle;
    return ends;
}

// --details: what each listed device said when asked for its configuration, by list index.
struct Details {
    DeviceJobs jobs; // one per listed device, in list order
    int failed = 0;  // devices that did not give their model

    // The model and version, or nothing when the device did not answer whole.
    const ModelVersion* modelVersion(std::size_t index) const
    {
        const ConfigRequestResult& request = jobs[index]->outcome().request();
        return request.valid() ? &request.modelVersion : nullptr;
    }
};

Details askDetails(CliContext& context, int parallel)
{
    Details details;
    for (const FoundDevice& device : context.found())
        details.jobs.push_back(loadJob(context, device));
    context.runJobs(details.jobs, parallel);
    for (std::size_t i = 0; i < details.jobs.size(); ++i)
        if (!details.modelVersion(i)) {
            ++details.failed;
            const DeviceOutcome& o = details.jobs[i]->outcome();
            context.output().error(fromLatin1(o.macText) + QStringLiteral(": ") + o.error());
        }
    return details;
}

// The listing: each reply read in place and written straight into it; nothing is copied. Returns when
// it was formatted, for --stats.
qint64 writeListing(CliContext& context, const Details* details)
{
    const DeviceList& list = context.search().devices();
    const auto forEachReply = [&](const auto& take) {
        for (std::size_t i = 0; i < list.size(); ++i)
            if (const std::optional<SearchReplyView> reply = viewSearchReply(list.raw(i)))
                take(*reply, context.search().conflicted(static_cast<int>(i)), i);
    };
    const auto modelOf = [&](std::size_t i) { return details ? details->modelVersion(i) : nullptr; };

    Output& out = context.output();
    if (out.json()) {
        JsonRecords devices;
        devices.reserve(list.size());
        // A search ended before its wait (--expect, --idle) cannot say that a device is in no conflict.
        const bool whole = context.lastSearch().wholeWait;
        forEachReply([&](const SearchReplyView& r, bool conflict, std::size_t i) {
            devices.beginRecord();
            devices.fieldOrNull("conflict", conflict || whole ? std::optional<bool>(conflict) : std::nullopt);
            devices.field("deviceId", r.deviceId);
            if (details) {
                const DeviceOutcome& o = details->jobs[i]->outcome();
                const std::string error = modelOf(i) ? std::string() : toLatin1(o.error());
                devices.fieldOrNull("error", modelOf(i) ? std::nullopt : std::optional<std::string_view>(error));
            }
            devices.field("ip", r.ip);
            devices.field("mac", r.macText());
            devices.field("macField", r.macField);
            if (details) {
                const ModelVersion* mv = modelOf(i);
                devices.fieldOrNull("model", mv ? std::optional<std::string_view>(mv->model) : std::nullopt);
                devices.fieldOrNull("version", mv ? std::optional<std::string_view>(mv->version) : std::nullopt);
            }
            devices.endRecord();
        });
        const std::string json = devices.finish();
        const qint64 formattedAt = context.sinceProbeMs();
        out.documentBytes(json);
        return formattedAt;
    }
    // The column is as wide as the widest address, up to a bound that no reply can push.
    // A " !" after the IP marks an address that another MAC answers with too.
    constexpr qsizetype kIpColumnLimit = 40;
    qsizetype ipWidth = 2;
    qsizetype modelWidth = 5;
    qsizetype versionWidth = 7;
    forEachReply([&](const SearchReplyView& r, bool conflict, std::size_t i) {
        ipWidth = std::max(ipWidth, std::min(kIpColumnLimit, static_cast<qsizetype>(r.ip.size())) +
                                        (conflict ? qsizetype(2) : qsizetype(0)));
        if (const ModelVersion* mv = modelOf(i)) {
            modelWidth = std::max(modelWidth, std::min(kIpColumnLimit, shownText(mv->model).size()));
            versionWidth = std::max(versionWidth, std::min(kIpColumnLimit, shownText(mv->version).size()));
        }
    });
    // Nothing answered: no header without lines; the reason goes to standard error.
    if (list.size() == 0)
        return context.sinceProbeMs();
    QString text;
    text.reserve(static_cast<qsizetype>(list.size()) * 60 + 40);
    text += QStringLiteral("MAC").leftJustified(19) + QStringLiteral("IP").leftJustified(ipWidth + 2);
    if (details)
        text += QStringLiteral("Model").leftJustified(modelWidth + 2) +
                QStringLiteral("Version").leftJustified(versionWidth + 2);
    text += QLatin1String("Device ID\n");
    forEachReply([&](const SearchReplyView& r, bool conflict, std::size_t i) {
        const QString ip = conflict ? shownText(r.ip, ipWidth - 2) + QStringLiteral(" !") : shownText(r.ip, ipWidth);
        text += fromLatin1(r.macText()).leftJustified(19) + ip.leftJustified(ipWidth + 2);
        if (details) {
            const ModelVersion* mv = modelOf(i);
            text += (mv ? shownText(mv->model, modelWidth) : QStringLiteral("?")).leftJustified(modelWidth + 2) +
                    (mv ? shownText(mv->version, versionWidth) : QStringLiteral("?")).leftJustified(versionWidth + 2);
        }
        text += shownText(r.deviceId) + QLatin1Char('\n');
    });
    const qint64 formattedAt = context.sinceProbeMs();
    out.text(text);
    return formattedAt;
}

// Answers the listing does not hold, on standard error: the search's exit stays 0, since an empty LAN
// or a flooded one is no usage error, but a reader learns what is missing.
void noteWhatIsMissing(CliContext& context)
{
    const DeviceSearch& search = context.search();
    Output& out = context.output();
    if (const qint64 lost = search.lostAnswers(); lost > 0)
        out.error(QStringLiteral("%1 answers were lost: the receive buffer overflowed").arg(lost));
    if (const qint64 unlisted = search.unlistedAnswers(); unlisted > 0)
        out.error(QStringLiteral("%1 more answers were not listed (a listing holds at most %2 devices)")
                      .arg(unlisted)
                      .arg(search.listLimit()));
    // An empty LAN is a finding, not an error: --quiet leaves it to the exit status and the empty listing.
    if (search.devices().size() > 0 || out.quiet())
        return;
    QStringList cards;
    for (UdpSocket* socket : search.sockets()) {
        const int index = socket->interfaceIndex();
        const QString name =
            index == 0 ? QString() : systemInterfaceName(QNetworkInterface::interfaceNameFromIndex(index));
        cards << (name.isEmpty() ? QStringLiteral("where the routing table sends") : name);
    }
    out.error(QStringLiteral("No device answered (port %1, probe to %2 through %3); linkvane-cli diagnose says why")
                  .arg(context.state().gCmdPort)
                  .arg(context.state().broadcast.toString(), cards.join(QStringLiteral(", "))));
}

} // namespace

CommandResult runSearch(CliContext& context, const QCommandLineParser& parser)
{
    const Expected<SearchEnds> ends = searchEnds(parser);
    if (!ends)
        return ends.failure();
    if (const std::optional<Failure> failed = context.runSearch(*ends))
        return failed;

    std::optional<Details> details;
    if (isSet(parser, kOptDetails)) {
        const Expected<int> parallel = parallelValue(parser);
        if (!parallel)
            return parallel.failure();
        details = askDetails(context, *parallel);
    }
    const qint64 formattedAt = writeListing(context, details ? &*details : nullptr);
    if (context.options().stats)
        printStats(context, formattedAt, context.sinceProbeMs());
    noteWhatIsMissing(context);
    const std::size_t listed = context.search().devices().size();
    if (ends->expect > 0 && static_cast<int>(listed) < ends->expect)
        return Failure{kExitNotFound, QStringLiteral("%1 of the %2 devices expected answered within %3 ms")
                                          .arg(listed)
                                          .arg(ends->expect)
                                          .arg(context.options().waitMs)};
    if (details && details->failed > 0)
        return Failure{
            kExitNoAnswer,
            QStringLiteral("%1 of the %2 devices did not say their model (above)").arg(details->failed).arg(listed)};
    return std::nullopt;
}

Command searchCommand()
{
    return {
        QStringLiteral("search"),
        QStringLiteral("List the devices that answer one search probe"),
        QStringLiteral("Lists the devices that answer one search probe (after --wait, 1000 ms, or sooner "
                       "with --expect or --idle)."),
        {},
        {{kOptExpect.name(), QStringLiteral("Stop as soon as N devices have answered."), QStringLiteral("N")},
         {kOptIdle.name(),
          QStringLiteral("Stop MS after the last new answer (or MS after the probe when none came); at most --wait."),
          QStringLiteral("MS")},
         {kOptDetails.name(),
          QStringLiteral("Also ask every device for its configuration (with the password options) and list its "
                         "model and version.")},
         {kOptParallel.name(), QStringLiteral("With --details, ask up to N devices at once (16)."),
          QStringLiteral("N")}},
        runSearch};
}

} // namespace lv
