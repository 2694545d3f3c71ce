#include "setupwindows.h"

#include "catalogue.h"
#include "loaders.h"
#include "singleportwindow.h"

namespace lv {

namespace {

std::function<void(QDialog*)>& observer()
{
    static std::function<void(QDialog*)> instance;
    return instance;
}

void showSinglePortWindow(SetupWindowContext& context, const WindowDef& def, const std::string& reply)
{
    // The window starts from its design-time state at every load, so nothing of
    // an earlier device survives in it.
    SinglePortWindow window(def, context.channel, context.parent);
    window.Form_Load(context.state.gSelMac, context.state.gVersion);
    window.apply(loadSinglePort(def, reply));
    QObject::connect(&window, &SinglePortWindow::updateConfirmed, &window, [&context](const DeviceLinePatch& patch) {
        if (context.patchLine && patch.changesLine())
            context.patchLine(patch);
    });
    window.setWindowModality(Qt::ApplicationModal);
    if (observer())
        observer()(&window);
    window.exec();
}

} // namespace

void showSetupWindow(SetupWindowContext& context, const ConfigRequestResult& result)
{
    if (result.dispatch.window.empty())
        return;
    const WindowDef* def = findWindow(result.dispatch.window);
    if (!def)
        return;
    if (!def->isMultiPort())
        showSinglePortWindow(context, *def, result.reply);
    // Multi-port families are filled and shown by their own loader, which comes next.
}

void unloadHiddenSetupWindows() {}

void setSetupWindowObserver(std::function<void(QDialog*)> o)
{
    observer() = std::move(o);
}

} // namespace lv
