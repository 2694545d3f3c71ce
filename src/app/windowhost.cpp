// SPDX-License-Identifier: Apache-2.0
// The window host: creation on first use, the multi-port family lifecycle, the unload step.

#include "windowhost.h"

#include "catalogue.h"
#include "latin1.h"
#include "loaders.h"
#include "modeltable.h"
#include "multiportwindow.h"
#include "singleportwindow.h"

namespace lv {

namespace {

std::function<void(QDialog*)>& observer()
{
    static std::function<void(QDialog*)> instance;
    return instance;
}

} // namespace

WindowHost::WindowHost(CommandChannel& channel, SessionState& state, QWidget* owner)
    : QObject(owner), m_channel(channel), m_state(state), m_owner(owner)
{
}

WindowHost::~WindowHost()
{
    for (auto& [name, window] : m_windows)
        delete window.data();
}

void WindowHost::setObserver(std::function<void(QDialog*)> o)
{
    observer() = std::move(o);
}

SetupWindow* WindowHost::loaded(std::string_view name) const
{
    const auto it = m_windows.find(name);
    return it == m_windows.end() ? nullptr : it->second.data();
}

QStringList WindowHost::loadedNames() const
{
    QStringList names;
    for (const auto& [name, window] : m_windows)
        if (window)
            names.append(QString::fromStdString(name));
    return names;
}

SetupWindow* WindowHost::ensure(const WindowDef& def, const DeviceRef& device, const std::string& version)
{
    if (SetupWindow* window = loaded(def.name))
        return window;
    SetupWindow* window = nullptr;
    if (def.isMultiPort())
        window = new MultiPortWindow(def, m_channel, &m_state.MultiPortSnapshot, m_owner);
    else
        window = new SinglePortWindow(def, m_channel, &m_state.LoadedConfig, m_owner);
    // Form_Load runs once, when the window is created: a window that stays loaded keeps its title.
    window->Form_Load(fromLatin1(device.macText), fromLatin1(version));
    window->setWindowModality(Qt::ApplicationModal);
    m_windows[def.name] = window;
    return window;
}

void WindowHost::unload(const std::string& name)
{
    const auto it = m_windows.find(name);
    if (it == m_windows.end())
        return;
    SetupWindow* window = it->second.data();
    m_windows.erase(it);
    if (!window)
        return;
    // A window whose modal loop still runs is deleted once that loop has returned.
    if (window == m_shown)
        window->deleteLater();
    else
        delete window;
}

void WindowHost::unloadFamily(const FamilyDef& family)
{
    for (const std::string& name : family.windows)
        unload(name);
}

void WindowHost::unloadAll()
{
    for (const FamilyDef& family : families())
        unloadFamily(family);
}

SetupOutcome WindowHost::showModal(SetupWindow& window, const std::function<void(const UpdateResult&)>& updateEnded)
{
    bool familyCancelled = false;
    const QMetaObject::Connection ended =
        connect(&window, &SetupWindow::updateEnded, this, [&updateEnded](const UpdateResult& result) {
            if (updateEnded)
                updateEnded(result);
        });
    const QMetaObject::Connection cancelled = connect(&window, &SetupWindow::cancelled, this, [&] {
        const WindowDef& def = window.windowDef();
        familyCancelled = def.family && def.portCount == def.family->cancelUnloadsAtPorts;
    });
    if (observer())
        observer()(&window);
    m_shown = &window;
    QPointer<SetupWindow> guard(&window);
    window.exec();
    m_shown = nullptr;
    if (!guard)
        return {};
    disconnect(ended);
    disconnect(cancelled);
    SetupOutcome outcome = window.outcome();
    // Update and Cancel unload the shown window; the Cancel named by the family's rule (its four-port
    // window's) unloads its whole family, the hidden windows included.
    const WindowDef& def = window.windowDef();
    if (familyCancelled)
        unloadFamily(*def.family);
    else
        unload(def.name);
    return outcome;
}

SetupOutcome WindowHost::open(const ConfigRequestResult& result, const DeviceRef& device,
                              const std::function<void(const UpdateResult&)>& updateEnded)
{
    const WindowDef* def = result.dispatch.windowDef;
    if (!def)
        return {};
    if (!def->isMultiPort()) {
        // A single-port window starts from its design-time state at every load.
        unload(def->name);
        SetupWindow* window = ensure(*def, device, result.modelVersion.version);
        window->apply(loadSinglePort(*def, result.reply));
        window->setDevice(device);
        return showModal(*window, updateEnded);
    }
    // Every window of the family is created and filled; only the one of the device's port count is
    // shown. The snapshot is read back from the four-port window, which has every port.
    const FamilyDef& family = *def->family;
    const WindowDef* four = family.window(4);
    if (!four)
        return {};
    const LoadResult load = loadMultiPort(*four, result.reply, def->portCount, m_state.MultiPortSnapshot);
    for (int ports = 1; ports <= 4; ++ports)
        if (const WindowDef* member = family.window(ports))
            ensure(*member, device, result.modelVersion.version)->apply(load, false);
    SetupWindow* shown = ensure(*def, device, result.modelVersion.version);
    // A window kept loaded and hidden still carries the title of the device it showed last: the title
    // names the device it shows now.
    shown->Form_Load(fromLatin1(device.macText), fromLatin1(result.modelVersion.version));
    shown->setDevice(device);
    return showModal(*shown, updateEnded);
}

} // namespace lv
