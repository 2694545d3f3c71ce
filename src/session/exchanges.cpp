// The configuration request and the Update exchange.

#include "exchanges.h"

#include "devicelist.h"
#include "latin1.h"
#include "tagmessage.h"

namespace lv {

ConfigRequestResult requestConfiguration(CommandChannel& channel, std::string_view rawEntry,
                                         const std::string& password, int timeoutMs)
{
    ConfigRequestResult result;
    const std::optional<std::string> address = addressPartOfEntry(rawEntry);
    if (!address)
        return result;
    channel.beginExchange();
    channel.buffer().expectConfiguration(macFieldOfEntry(rawEntry));
    const std::string request = configRequest(*address, password);
    Q_EMIT channel.sending();
    result.sent = request.size() <= static_cast<std::size_t>(kMaxDatagramBytes) && channel.send(request);
    result.sendFailed = !result.sent;
    if (result.sent)
        Q_EMIT channel.waiting();
    result.timedOut = !result.sent || !channel.waitForComplete(timeoutMs);
    result.reply = channel.buffer().text();
    result.foreignReplies = channel.buffer().foreignReplies();
    result.modelVersion = readModelVersion(result.reply);
    result.dispatch = dispatchModel(result.modelVersion.model);
    result.valid = !result.timedOut && !result.reply.empty() && result.reply.front() == 'A';
    return result;
}

ConfigRequestResult requestAndRecord(CommandChannel& channel, std::string_view rawEntry, int timeoutMs)
{
    SessionState& state = channel.state();
    state.PortCount = 1;
    state.IsVariantA = false;
    ConfigRequestResult result = requestConfiguration(channel, rawEntry, toLatin1(state.gSetupPass), timeoutMs);
    if (!result.sent)
        return result;
    state.gModel = fromLatin1(result.modelVersion.model);
    state.gVersion = fromLatin1(result.modelVersion.version);
    state.PortCount = result.dispatch.portCount;
    state.IsVariantA = result.dispatch.isVariantA;
    return result;
}

UpdateResult runUpdate(CommandChannel& channel, const UpdatePlan& plan, int timeoutMs)
{
    const auto ended = [&channel](UpdateResult result) {
        Q_EMIT channel.updateEnded(static_cast<int>(result));
        return result;
    };
    // A command over the datagram limit cannot leave: nothing of the exchange is sent, so the device
    // never applies "U " to a set command it did not get.
    if (plan.setCommand.size() > static_cast<std::size_t>(kMaxDatagramBytes) ||
        plan.updateCommand.size() > static_cast<std::size_t>(kMaxDatagramBytes))
        return ended(UpdateResult::NotSent);
    channel.beginExchange();
    Q_EMIT channel.sending();
    if (!channel.send(plan.setCommand))
        return ended(UpdateResult::NotSent);
    CommandChannel::delay(plan.delayMs);
    for (int i = 0; i < plan.updateCount; ++i)
        if (!channel.send(plan.updateCommand))
            return ended(UpdateResult::NotSent);
    Q_EMIT channel.waiting();
    return ended(channel.waitForComplete(timeoutMs) ? UpdateResult::Answered : UpdateResult::NoAnswer);
}

} // namespace lv
