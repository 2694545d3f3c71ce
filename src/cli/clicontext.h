#pragma once

// What every command of linkvane-cli works with: the global options, the session (search and
// command channel, as the window has them), the output, and the steps that several commands share:
// the search, finding the device the operator named, and loading it into its headless setup form.

#include "commandchannel.h"
#include "devicelist.h"
#include "devicesearch.h"
#include "deviceselector.h"
#include "exchanges.h"
#include "output.h"
#include "sessionstate.h"
#include "setupform.h"

#include <QCommandLineOption>
#include <QElapsedTimer>
#include <QHostAddress>

#include <functional>
#include <memory>
#include <optional>

class QCommandLineParser;

namespace lv {

struct GlobalOptions {
    quint16 port = 65535;
    QHostAddress broadcast{QHostAddress::Broadcast};
    QString password;
    int timeoutMs = kRequestTimeoutMs;
    int waitMs = 1000;
    bool json = false;
    bool stats = false;
};

// The options every command accepts, before or after its name.
const QList<QCommandLineOption>& globalOptionList();

// A device found, asked for its configuration and loaded into the form of its window.
struct LoadedDevice {
    SearchReply device;
    ConfigRequestResult request;
    std::unique_ptr<SetupForm> form; // null for models that open no window
};

class CliContext {
public:
    CliContext(QTextStream& out, QTextStream& err);

    // Reads the global options from a parser that holds them; false (and a message) when one is wrong.
    bool readGlobalOptions(const QCommandLineParser& parser);
    const GlobalOptions& options() const { return m_options; }
    Output& output() { return m_output; }
    SessionState& state() { return m_state; }
    DeviceSearch& search();
    CommandChannel& channel();

    // Prints the message and returns the exit code.
    int fail(int code, const QString& message);

    // Sends the probe and lets answers come in for the wait; `stop` may end it early. False when the
    // probe could not be sent.
    bool runSearch(const std::function<bool(int)>& stop = {});
    // The list index of the first device that answered the search and that the selector names; -1
    // when none did. The search ends as soon as it answers.
    int resolve(const DeviceSelector& selector);
    // Finds the device, asks it for its configuration and loads its form. On failure `code` holds
    // the exit code and the message has been printed.
    std::optional<LoadedDevice> loadDevice(const QString& deviceText, int& code);

    // Timing of the last search, for --stats.
    qint64 sinceProbeMs() const { return m_clock.elapsed(); }
    qint64 lastDeviceMs() const { return m_lastDeviceMs; }
    qint64 waitEndedMs() const { return m_waitEndedMs; }

private:
    void startSession();

    GlobalOptions m_options;
    Output m_output;
    SessionState m_state;
    std::unique_ptr<DeviceSearch> m_search;
    std::unique_ptr<CommandChannel> m_channel;
    QElapsedTimer m_clock;
    qint64 m_lastDeviceMs = -1;
    qint64 m_waitEndedMs = -1;
};

} // namespace lv
