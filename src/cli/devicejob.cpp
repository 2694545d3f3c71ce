// One device of a fleet as a small state machine, and the pool that runs many at once.

#include "devicejob.h"

#include "commandchannel.h"
#include "devicelist.h"
#include "deviceselector.h"
#include "latin1.h"
#include "output.h"
#include "secretmask.h"
#include "setcommand.h"
#include "tagmessage.h"
#include "wirelog.h"

#include <QEventLoop>

namespace lv {

QString fleetResultText(FleetResult result)
{
    switch (result) {
    case FleetResult::Updated:
        return QStringLiteral("updated");
    case FleetResult::Unchanged:
        return QStringLiteral("unchanged");
    case FleetResult::NotFound:
        return QStringLiteral("not found");
    case FleetResult::NoAnswer:
        return QStringLiteral("no answer");
    case FleetResult::Refused:
        return QStringLiteral("refused");
    case FleetResult::Loaded:
        return QStringLiteral("loaded");
    case FleetResult::WouldUpdate:
        return QStringLiteral("would update");
    }
    return {};
}

DeviceJob::DeviceJob(SessionState& state, DeviceTask task, JobSettings settings, SecretMask& mask, WireLog* wireLog,
                     QObject* parent)
    : QObject(parent), m_state(state), m_task(std::move(task)), m_settings(settings), m_mask(mask), m_wireLog(wireLog)
{
    m_timer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the delay and the bounds are the window's.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &DeviceJob::onTimer);
    m_outcome.named = m_task.named;
    if (const std::optional<SearchReply> reply = parseSearchReply(m_task.rawEntry))
        m_outcome.macText = reply->macText;
}

DeviceJob::~DeviceJob() = default;

void DeviceJob::start()
{
    m_channel = new CommandChannel(m_state, this);
    // Its commands leave by the card the device answered on, as a single device's do.
    m_channel->setInterface(m_task.interfaceIndex);
    // Queued: whatever else watches the socket (the wire log) sees the datagram before the job goes on.
    connect(&m_channel->buffer(), &ReplyBuffer::completed, this, &DeviceJob::onReplyComplete, Qt::QueuedConnection);
    if (m_wireLog)
        m_wireLog->watch(*m_channel);
    m_mask.addPassword(m_task.password);

    const std::optional<std::string> address = addressPartOfEntry(m_task.rawEntry);
    if (!address)
        return finish(FleetResult::NotFound, QStringLiteral("the search answer names no device"));
    // The configuration request exactly as the window's double-click sends it.
    m_step = Step::Requesting;
    m_channel->beginExchange();
    m_channel->buffer().expectConfiguration(macFieldOfEntry(m_task.rawEntry));
    const std::string request = configRequest(*address, m_task.password);
    if (request.size() > static_cast<std::size_t>(kMaxDatagramBytes) || !m_channel->send(request))
        return finish(FleetResult::NoAnswer, QStringLiteral("the configuration request could not be sent"));
    m_timer.start(m_settings.timeoutMs);
}

void DeviceJob::onReplyComplete()
{
    if (!m_channel)
        return;
    if (m_step == Step::Requesting) {
        m_timer.stop();
        onConfiguration();
    } else if (m_step == Step::Answering) {
        m_timer.stop();
        finish(FleetResult::Updated);
    }
    // While the delay runs an early answer stays in the buffer; the "U " step looks at it.
}

void DeviceJob::onTimer()
{
    // A reply completed just before the time ran out counts, as it does for the window's wait.
    if (m_channel && m_channel->buffer().complete() && m_step != Step::Delaying)
        return onReplyComplete();
    switch (m_step) {
    case Step::Requesting:
        return finish(FleetResult::NoAnswer,
                      QStringLiteral("no answer to the configuration request within %1 ms").arg(m_settings.timeoutMs));
    case Step::Delaying:
        return sendUpdate();
    case Step::Answering:
        return finish(FleetResult::NoAnswer,
                      QStringLiteral("no answer to the update within %1 ms").arg(m_settings.timeoutMs));
    case Step::Idle:
    case Step::Done:
        return;
    }
}

void DeviceJob::onConfiguration()
{
    const std::string& reply = m_channel->buffer().text();
    if (reply.empty() || reply.front() != 'A')
        return finish(FleetResult::NoAnswer, QStringLiteral("the answer to the configuration request is not one"));
    m_outcome.modelVersion = readModelVersion(reply);
    const ModelDispatch dispatch = dispatchModel(m_outcome.modelVersion.model);
    if (!dispatch.windowDef)
        return finish(FleetResult::Refused, QStringLiteral("no window opens for model %1; nothing to set")
                                                .arg(printableText(m_outcome.modelVersion.model)));
    const WindowDef& window = *dispatch.windowDef;
    m_outcome.window = window.name;
    // Each device keeps its values as loaded in its own form: the fleet's devices share nothing.
    m_outcome.form = std::make_unique<SetupForm>(window);
    SetupForm& form = *m_outcome.form;
    form.load(reply, dispatch.portCount);
    m_mask.addPassword(headerValues(window, form.loaded()).password);
    if (m_settings.mode == JobSettings::Mode::Load)
        return finish(FleetResult::Loaded);
    if (!form.hasDeviceMac())
        return finish(FleetResult::NoAnswer, QStringLiteral("the reply carried no MAC address, so no command can "
                                                            "name the device; nothing was sent"));

    if (!m_task.window.isEmpty() && m_task.window != fromLatin1(window.name))
        return finish(FleetResult::Refused, QStringLiteral("the plan was written for %1, the device opens %2")
                                                .arg(m_task.window, fromLatin1(window.name)));
    for (const auto& [name, value] : m_task.set) {
        // A secret exported as "***" is left as it is.
        const FieldDef* field = window.fieldByTag(toLatin1(name));
        if (field && field->secret && value == fromLatin1(kMaskedSecret))
            continue;
        if (const std::optional<QString> refused = applyTypedValue(form, name, value))
            return finish(FleetResult::Refused, *refused);
    }
    m_plan = form.plan();
    // Nothing differs from the values as loaded: the set command would carry its header alone.
    const bool noItem = m_plan.setCommand == planUpdate(window, form.loaded(), {}).setCommand;
    if (noItem && !m_settings.force)
        return finish(FleetResult::Unchanged);
    // A command over the datagram limit cannot leave: nothing of the exchange is sent.
    if (m_plan.setCommand.size() > static_cast<std::size_t>(kMaxDatagramBytes) ||
        m_plan.updateCommand.size() > static_cast<std::size_t>(kMaxDatagramBytes))
        return finish(FleetResult::Refused, QStringLiteral("the set command would be %1 bytes; one datagram carries "
                                                           "at most %2; nothing was sent")
                                                .arg(m_plan.setCommand.size())
                                                .arg(kMaxDatagramBytes));
    m_outcome.sent = m_plan.setCommand;
    if (m_settings.mode == JobSettings::Mode::DryRun)
        return finish(FleetResult::WouldUpdate);

    // The window's Update: set command, delay, "U " commands, the wait for "MAC".
    m_step = Step::Delaying;
    m_channel->beginExchange();
    if (!m_channel->send(m_plan.setCommand)) {
        m_outcome.sent.reset();
        return finish(FleetResult::NoAnswer, QStringLiteral("the set command could not be sent"));
    }
    m_timer.start(m_plan.delayMs);
}

void DeviceJob::sendUpdate()
{
    for (int i = 0; i < m_plan.updateCount; ++i)
        if (!m_channel->send(m_plan.updateCommand))
            return finish(FleetResult::NoAnswer, QStringLiteral("the \"U \" command could not be sent"));
    m_step = Step::Answering;
    if (m_channel->buffer().complete())
        return finish(FleetResult::Updated);
    m_timer.start(m_settings.timeoutMs);
}

void DeviceJob::finish(FleetResult result, const QString& error)
{
    m_timer.stop();
    m_step = Step::Done;
    m_outcome.result = result;
    m_outcome.error = error;
    // The socket is given back now; the channel goes once the signal that got us here has returned.
    if (m_channel) {
        m_channel->disconnect(this);
        m_channel->buffer().disconnect(this);
        m_channel->deleteLater();
        m_channel = nullptr;
    }
    Q_EMIT finished();
}

std::optional<int> parallelValue(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    return parser.isSet(option) ? strictNumber(parser.value(option), 1, 1024) : std::optional<int>(16);
}

void runDeviceJobs(const std::vector<DeviceJob*>& jobs, int parallel, const std::function<void(DeviceJob&)>& finished)
{
    if (jobs.empty())
        return;
    QEventLoop loop;
    std::size_t next = 0;
    std::size_t ended = 0;
    std::function<void()> startNext;
    startNext = [&] {
        while (next < jobs.size() && next - ended < static_cast<std::size_t>(std::max(parallel, 1))) {
            DeviceJob* job = jobs[next++];
            job->start();
        }
    };
    for (DeviceJob* job : jobs) {
        QObject::connect(job, &DeviceJob::finished, &loop, [&, job] {
            ++ended;
            if (finished)
                finished(*job);
            if (ended == jobs.size())
                loop.quit();
            else
                startNext();
        });
    }
    startNext();
    if (ended < jobs.size())
        loop.exec();
}

} // namespace lv
