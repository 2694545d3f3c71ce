// linkvane-cli search.

#include "searchcommand.h"

#include "clicontext.h"
#include "latin1.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace lv {

namespace {

const QCommandLineOption& expectOption()
{
    static const QCommandLineOption option(
        QStringLiteral("expect"), QStringLiteral("Stop as soon as N devices have answered."), QStringLiteral("N"));
    return option;
}

const QCommandLineOption& idleOption()
{
    static const QCommandLineOption option(
        QStringLiteral("idle"),
        QStringLiteral("Stop MS after the last new answer (or MS after the probe when none came); at most --wait."),
        QStringLiteral("MS"));
    return option;
}

void printStats(CliContext& context, qint64 formattedAtMs, qint64 listedAtMs)
{
    const qint64 waitEnded = context.waitEndedMs();
    QString text = QStringLiteral("stats: %1 devices listed; last new device at %2 ms after the probe; wait ended "
                                  "at %3 ms; listing formatted in %4 ms, written in %5 ms; done at %6 ms (%7 ms "
                                  "after the wait")
                       .arg(context.search().devices().size())
                       .arg(context.lastDeviceMs())
                       .arg(waitEnded)
                       .arg(formattedAtMs - waitEnded)
                       .arg(listedAtMs - formattedAtMs)
                       .arg(listedAtMs)
                       .arg(listedAtMs - waitEnded);
    if (context.lastDeviceMs() >= 0)
        text += QStringLiteral(", %1 ms after the last device").arg(listedAtMs - context.lastDeviceMs());
    context.output().note(text + QStringLiteral(")\n"));
}

} // namespace

QList<QCommandLineOption> SearchCommand::options() const
{
    return {expectOption(), idleOption()};
}

int SearchCommand::execute(CliContext& context, const QCommandLineParser& parser)
{
    if (!parser.positionalArguments().isEmpty())
        return context.fail(kExitUsage, QStringLiteral("search takes no operands"));
    SearchEnd end;
    if (parser.isSet(expectOption())) {
        const std::optional<int> n = strictNumber(parser.value(expectOption()), 1, 100000000);
        if (!n)
            return context.fail(kExitUsage, QStringLiteral("--expect needs a number of devices from 1"));
        end.expect = *n;
    }
    if (parser.isSet(idleOption())) {
        const std::optional<int> ms = strictNumber(parser.value(idleOption()), 0, 600000);
        if (!ms)
            return context.fail(kExitUsage, QStringLiteral("--idle needs milliseconds from 0 to 600000"));
        end.idleMs = *ms;
    }
    if (!context.runSearch({}, end))
        return kExitNoAnswer;

    const DeviceList& list = context.search().devices();
    std::vector<SearchReply> replies;
    std::vector<bool> conflicts; // beside each reply: another MAC answered with its IP address
    replies.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i)
        if (std::optional<SearchReply> reply = parseSearchReply(list.raw(i))) {
            replies.push_back(std::move(*reply));
            conflicts.push_back(context.search().conflicted(static_cast<int>(i)));
        }

    Output& out = context.output();
    qint64 formattedAt = 0;
    if (out.json()) {
        QJsonArray devices;
        for (std::size_t i = 0; i < replies.size(); ++i) {
            const SearchReply& r = replies[i];
            devices.append(QJsonObject{{QStringLiteral("mac"), jsonText(r.macText)},
                                       {QStringLiteral("macField"), jsonText(r.macField)},
                                       {QStringLiteral("ip"), jsonText(r.ip)},
                                       {QStringLiteral("deviceId"), jsonText(r.deviceId)},
                                       {QStringLiteral("conflict"), bool(conflicts[i])}});
        }
        formattedAt = context.sinceProbeMs();
        out.document(devices);
    } else {
        // The column is as wide as the widest address, up to a bound that no reply can push.
        constexpr qsizetype kIpColumnLimit = 40;
        qsizetype ipWidth = 2;
        // A " !" after the IP marks an address that another MAC answers with too.
        const auto mark = [&](std::size_t i) { return conflicts[i] ? qsizetype(2) : qsizetype(0); };
        for (std::size_t i = 0; i < replies.size(); ++i)
            ipWidth =
                std::max(ipWidth, std::min(kIpColumnLimit, static_cast<qsizetype>(replies[i].ip.size())) + mark(i));
        QString text;
        text.reserve(static_cast<qsizetype>(replies.size()) * 60 + 40);
        text += QStringLiteral("MAC").leftJustified(19) + QStringLiteral("IP").leftJustified(ipWidth + 2) +
                QLatin1String("Device ID\n");
        for (std::size_t i = 0; i < replies.size(); ++i) {
            const SearchReply& r = replies[i];
            const QString ip = shownText(r.ip, ipWidth - mark(i)) + (conflicts[i] ? QStringLiteral(" !") : QString());
            text += fromLatin1(r.macText).leftJustified(19) + ip.leftJustified(ipWidth + 2) + shownText(r.deviceId) +
                    QLatin1Char('\n');
        }
        formattedAt = context.sinceProbeMs();
        out.text(text);
    }
    if (context.options().stats)
        printStats(context, formattedAt, context.sinceProbeMs());
    if (end.expect > 0 && static_cast<int>(list.size()) < end.expect)
        return context.fail(kExitNotFound, QStringLiteral("%1 of the %2 devices expected answered within %3 ms")
                                               .arg(list.size())
                                               .arg(end.expect)
                                               .arg(context.options().waitMs));
    return kExitDone;
}

} // namespace lv
