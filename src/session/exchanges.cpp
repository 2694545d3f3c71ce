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
    result.sent = channel.send(configRequest(*address, password));
    result.timedOut = !channel.waitForComplete(timeoutMs);
    result.reply = channel.buffer().text();
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

bool runUpdate(CommandChannel& channel, const UpdatePlan& plan, int timeoutMs)
{
    channel.beginExchange();
    channel.send(plan.setCommand);
    CommandChannel::delay(plan.delayMs);
    for (int i = 0; i < plan.updateCount; ++i)
        channel.send(plan.updateCommand);
    return channel.waitForComplete(timeoutMs);
}

} // namespace lv
