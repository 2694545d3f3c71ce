#pragma once

// The setup window of every single-port device (serial converters, radio
// modules, the digital-I/O module), built from the window's catalogue entry.
// Controls carry their catalogue names as objectName and are found by name.

#include "devicelinepatch.h"
#include "loaders.h"

#include <QDialog>

#include <map>
#include <string>
#include <string_view>

class QGridLayout;
class QLabel;
class QPushButton;

namespace lv {

class CommandChannel;

class SinglePortWindow final : public QDialog {
    Q_OBJECT
public:
    // The message shown when the device did not answer an Update in time.
    static const QString& noAnswerMessage();

    SinglePortWindow(const WindowDef& window, CommandChannel& channel, QWidget* parent = nullptr);

    const WindowDef& windowDef() const { return m_window; }

    // Sets the title from the selected device's MAC text and the firmware version.
    void Form_Load(const QString& selMac, const QString& version);
    // Shows what the loader read and keeps its values as LoadedConfig.
    void apply(const LoadResult& result);

    const LoadedValues& loadedConfig() const { return m_loaded; }
    // What every readable field holds now, by control name: a text box's text,
    // a list's selected index as decimal text ("-1" for none).
    std::map<std::string, std::string, std::less<>> currentValues() const;
    QWidget* control(std::string_view name) const;
    bool updating() const { return m_updating; }

public Q_SLOTS:
    void cmdUpdate_Click();
    void cmdCancel_Click();
    void reject() override;

Q_SIGNALS:
    // The device answered an Update: what the device list line needs.
    void updateConfirmed(const lv::DeviceLinePatch& patch);

private:
    void buildForm();
    QWidget* makeControl(const FieldDef& field);
    QLabel* makeLabel(const QString& text, const QString& name);
    void setButtonsEnabled(bool enabled);
    std::string loadedText(const std::string& tag) const;

    const WindowDef& m_window;
    CommandChannel& m_channel;
    LoadedValues m_loaded;
    std::map<std::string, QWidget*, std::less<>> m_controls;
    QPushButton* m_update = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_updating = false;
};

} // namespace lv
