// SPDX-License-Identifier: Apache-2.0
#pragma once

// frmMain: the device search, the device list and the choice of a device.

#include "bulkdialog.h"
#include "commandchannel.h"
#include "devicelinepatch.h"
#include "devicesearch.h"
#include "diagnosis.h"
#include "exchanges.h"
#include "searchexchange.h"
#include "secretmask.h"
#include "sessionstate.h"
#include "verifyexchange.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QAction;
class QLabel;
class QListView;
class QMenu;
class QPushButton;

namespace lv {

struct DeviceAction;

class DeviceLineDelegate;
class DeviceListModel;
class WindowHost;
class MacService;
class MessageLog;
class MessagesWindow;
class StatusLine;

class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(SessionState& state, QWidget* parent = nullptr);
    ~MainWindow() override;

    SessionState& state() { return m_state; }
    DeviceSearch& search() { return m_search; }
    CommandChannel& channel() { return m_channel; }
    WindowHost& windows() { return *m_windows; }
    MacService& macService() { return *m_macService; }
    // Every outcome reported since the start, and the window that lists them (null until first opened).
    MessageLog& messageLog() { return *m_log; }
    MessagesWindow* messagesWindow() const { return m_messages; }
    // Option > Messages, or a click on the status bar: shows the log and clears the status bar's mark.
    void showMessages();

    // The model-table row taken by the last configuration request that got a
    // valid reply; empty until then. Tests read which window would open.
    // The device of the last configuration reply the window used, with what the reply said.
    struct AnsweredDevice {
        DeviceRef device;
        ModelVersion modelVersion;
        ModelDispatch dispatch;
    };
    const std::optional<AnsweredDevice>& lastAnswered() const { return m_lastAnswered; }
    bool requestRunning() const { return m_requestRunning; }
    // Option > Verify After Update: after an Update the device confirmed, its configuration is asked
    // for again and compared with what was sent. Off at start, kept for the run only.
    bool verifyAfterUpdate() const;
    void setVerifyAfterUpdate(bool on);
    // The check after the last Update, while it runs; null otherwise.
    const VerifyExchange* verifyRunning() const;

    // How long a search may stay unanswered before the status bar says so.
    static constexpr int kSilenceMs = 3000;

    // The window's own events.
    void cmdSearch_Click();
    void lstDev_Click();
    void lstDev_DblClick();
    void mnuIDPort_Click();
    // Search Target: a directed broadcast or one address for the search and the commands; empty
    // means the LAN broadcast.
    void mnuTarget_Click();
    // Keeps the search to the named interface; empty: all interfaces.
    void chooseInterface(const QString& name);
    void mnuAbout_Click();
    void mnuExit_Click();

Q_SIGNALS:
    // A configuration request ended (with or without a window opening).
    void requestFinished();
    // The check after an Update ended; the status bar says how.
    void verifyFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void buildMenus();
    void buildControls();
    // Places the controls for the fonts in use: the list's columns, the captions over them, the
    // window's least size.
    void layOut();
    void placeList();
    int selectedRow() const;
    void openSetupWindow(const ConfigRequestResult& result, const DeviceRef& device);
    // A device action of the table on the selected device: its datagram, the answer, the outcome reported.
    void runDeviceAction(const DeviceAction& action);
    // The Devices menu's change of many devices: its dialog, then every outcome in the log and the lines
    // of the devices updated patched.
    void openBulk(BulkDialog::Kind kind);
    // An entry's caption for `count` selected devices ("Change &Settings of 12 Devices…").
    static QString bulkCaption(BulkDialog::Kind kind, int count);
    void updateBulkActions();
    std::vector<int> selectedRows() const;
    // Devices > Export: the selected devices' configuration as the CLI's export writes it, JSON or CSV.
    void exportSelected();
    // Each device asked for its configuration, up to the bulk changes' number at once.
    DeviceJobs loadJobs(const FoundDevices& devices);
    // The fields of the device under the cursor that have a role, with their values as it shows them;
    // nothing when it did not answer.
    std::optional<std::vector<std::pair<QString, QString>>> rolesOfCurrentDevice();
    // Option > Verify After Update: asks the device `mac` of the confirmed Update `plan` for its
    // configuration again, without the window waiting, with the setup password the Update went out with.
    // One check runs at a time: a new one replaces the last, and its channel goes with it.
    void startVerify(const ConfigRequestResult& request, const DeviceRef& device, const UpdatePlan& plan,
                     const QString& mac);
    void onVerified(const QString& mac, const WindowDef& window);
    // PatchDeviceLine on the line of the device whose window was open.
    void patchLine(int row, const DeviceLinePatch& patch);
    void setBusy(bool busy);
    // What is under way: the status bar only.
    void say(const QString& text, const QString& details = {});
    // An outcome: the status bar and the message log; `device` is the MAC text of the device it is of,
    // `problem` a failure or mismatch, marked in the status bar until the log is opened.
    void report(const QString& text, const QString& device, bool problem, const QString& details = {});
    StatusLine* statusLine() const;
    void showSearchCount();
    void searchEnded();
    void fillInterfaceMenu();

    SessionState& m_state;
    DeviceSearch m_search;
    CommandChannel m_channel;
    WindowHost* m_windows = nullptr;
    DeviceListModel* m_model = nullptr;
    QPushButton* m_cmdSearch = nullptr;
    QListView* m_lstDev = nullptr;
    DeviceLineDelegate* m_delegate = nullptr;
    std::array<QLabel*, 3> m_headers{};
    QRect m_listDesign; // the list's place at the window's least size
    QSize m_clientSize; // the window's least client size
    QListView* m_lstDev2 = nullptr;
    QMenu* m_interfaceMenu = nullptr;
    SearchExchange* m_searchRun = nullptr;
    bool m_searchStatus = false; // the status bar follows the search's answers
    std::optional<AnsweredDevice> m_lastAnswered;
    bool m_requestRunning = false;
    bool m_exiting = false;
    MacService* m_macService = nullptr;
    QAction* m_verifyAction = nullptr;
    std::unique_ptr<CommandChannel> m_verifyChannel; // the check's own, made for each check
    std::unique_ptr<VerifyExchange> m_verify;        // declared after its channel: destroyed before it
    MessageLog* m_log = nullptr;
    MessagesWindow* m_messages = nullptr;
    QMenu* m_devicesMenu = nullptr;
    QAction* m_exportAction = nullptr;
    std::vector<std::pair<BulkDialog::Kind, QAction*>> m_bulkActions;
    QString m_lastBackup; // the backup of the last change of many devices in this run
    SecretMask m_mask;    // the passwords the bulk changes' jobs learn; nothing shows them
};

} // namespace lv
