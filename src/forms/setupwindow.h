// SPDX-License-Identifier: Apache-2.0
#pragma once

// The base of every setup window: the controls made from the catalogue, their binding to the
// headless setup form, Update and Cancel, and the bounded wait that keeps the operator's edits.
// The single-port and multi-port layouts arrange the controls; the behaviour lives here.

#include "devicelinepatch.h"
#include "exchanges.h"
#include "setupform.h"

#include <QDialog>
#include <QMetaType>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QBoxLayout;
class QLabel;
class QLayout;
class QPushButton;

namespace lv {

class CommandChannel;

// What the Updates of one showing of a setup window came to.
struct SetupOutcome {
    std::vector<UpdateResult> updates;    // every Update that went out, in order
    std::optional<UpdatePlan> confirmed;  // what the device confirmed it took, when it did
    std::optional<DeviceLinePatch> patch; // what the device's list line needs then
};

class SetupWindow : public QDialog {
    Q_OBJECT
public:
    // The message shown when the device did not answer an Update in time.
    static const QString& noAnswerMessage();
    // The message shown when the set command or a "U " command could not be sent.
    static const QString& notSentMessage();
    // The message shown when the reply carried no MacAddress to name the device by.
    static const QString& noMacMessage();
    // Why the field carried by `tag` is not sent.
    static QString fieldProblemMessage(const QString& tag);

    const WindowDef& windowDef() const { return m_form.window(); }
    SetupForm& form() { return m_form; }
    const SetupForm& form() const { return m_form; }

    // Sets the title from the selected device's MAC text and the firmware version.
    void Form_Load(const QString& selMac, const QString& version);
    // Shows what a loader read; the values as loaded are recorded unless `recordLoaded` is false.
    void apply(const LoadResult& result, bool recordLoaded = true);

    const LoadedValues& loadedConfig() const { return m_form.loaded(); }
    // What every readable field holds now, by control name: a text box's text, a list's selected
    // index as decimal text ("-1" for none).
    std::map<std::string, std::string, std::less<>> currentValues() const;
    QWidget* control(std::string_view name) const;
    bool updating() const { return m_updating; }
    // The Updates since the window was made; a window is unloaded after every showing.
    const SetupOutcome& outcome() const { return m_outcome; }

public Q_SLOTS:
    void cmdUpdate_Click();
    void cmdCancel_Click();
    void reject() override;

Q_SIGNALS:
    // An Update ended, however it did.
    void updateEnded(lv::UpdateResult result);
    // Cancel, Escape or the close box closed the window.
    void cancelled();

protected:
    SetupWindow(const WindowDef& window, CommandChannel& channel, LoadedValues* loaded, QWidget* parent);

    // The control of a field, made and bound to the form; the layout places it.
    QWidget* makeControl(const FieldDef& field);
    QLabel* makeLabel(const QString& text, const QString& name);
    // Update and Cancel side by side, centred under the fields.
    QLayout* buttonRow();

    CommandChannel& channel() { return m_channel; }

public:
    // The device the window shows, whose Update it sends: set each time the window is shown.
    void setDevice(DeviceRef device) { m_device = std::move(device); }
    const DeviceRef& device() const { return m_device; }

protected:
    // Gives every control the name a screen reader speaks, from the captions the layout shows: the
    // row's label, with the port ("COM2 SIO BaudRate") in a port block, and for a control beside
    // another on its row what it holds ("SIO BaudRate, Parity"). A control no shown caption is the
    // buddy of gets a hidden one, so each has a label relation. Runs once the layout is built.
    void nameControls();

private:
    void bind(const FieldDef& field, QWidget* widget);
    // Writes the form's values into the widgets, then records what the text boxes really show.
    void showForm();
    void setButtonsEnabled(bool enabled);
    // Sets in bold every editor whose value differs from the loaded one, and says on Update how many
    // settings it would send.
    void showChanges();
    // The text beside the buttons while an Update's exchange runs.
    void showExchange(const QString& text);
    // Marks the field that cannot be sent as typed and says why.
    void showFieldProblem(const FieldDef& field);
    void clearFieldProblem();

    SetupForm m_form;
    CommandChannel& m_channel;
    DeviceRef m_device;
    std::map<std::string, QWidget*, std::less<>> m_controls;
    QPushButton* m_update = nullptr;
    QPushButton* m_cancel = nullptr;
    QLabel* m_exchange = nullptr;
    bool m_updating = false;
    bool m_showing = false;
    SetupOutcome m_outcome;
    std::string m_problemControl;
};

} // namespace lv

Q_DECLARE_METATYPE(lv::DeviceLinePatch)
