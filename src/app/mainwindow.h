#pragma once

// frmMain: the device search, the device list and the choice of a device.

#include "commandchannel.h"
#include "devicelinepatch.h"
#include "devicesearch.h"
#include "exchanges.h"
#include "searchexchange.h"
#include "sessionstate.h"

#include <QMainWindow>

#include <array>
#include <optional>

class QLabel;
class QListView;
class QMenu;
class QPushButton;

namespace lv {

class DeviceLineDelegate;
class DeviceListModel;
class WindowHost;
class MacService;

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

    // The model-table row taken by the last configuration request that got a
    // valid reply; empty until then. Tests read which window would open.
    const std::optional<ModelDispatch>& lastDispatch() const { return m_lastDispatch; }
    bool requestRunning() const { return m_requestRunning; }

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

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildControls();
    // Places the controls for the fonts in use: the list's columns, the captions over them, the
    // window's least size.
    void layOut();
    void placeList();
    int selectedRow() const;
    void openSetupWindow(const ConfigRequestResult& result, int row);
    // PatchDeviceLine on the line of the device whose window was open.
    void patchLine(int row, const DeviceLinePatch& patch);
    void setBusy(bool busy);
    void say(const QString& text);
    void showSearchCount();
    void searchEnded();
    void fillInterfaceMenu();
    void requestOutcome(const ConfigRequestResult& result, const QString& mac);

    SessionState& m_state;
    DeviceSearch m_search;
    CommandChannel m_channel;
    WindowHost* m_windows = nullptr;
    DeviceListModel* m_model = nullptr;
    QPushButton* m_cmdSearch = nullptr;
    QListView* m_lstDev = nullptr;
    DeviceLineDelegate* m_delegate = nullptr;
    std::array<QLabel*, 3> m_headers{};
    QRect m_listDesign;  // the list's place at the window's least size
    QSize m_clientSize;  // the window's least client size
    QListView* m_lstDev2 = nullptr;
    QMenu* m_interfaceMenu = nullptr;
    SearchExchange* m_searchRun = nullptr;
    bool m_searchStatus = false; // the status bar follows the search's answers
    QString m_updatingMac;       // the device of the setup window shown
    std::optional<ModelDispatch> m_lastDispatch;
    bool m_requestRunning = false;
    bool m_exiting = false;
    MacService* m_macService = nullptr;
};

} // namespace lv
