// SPDX-License-Identifier: Apache-2.0
// frmMain: menus, the command port, the device search and list, the choice of a device.

#include "mainwindow.h"

#include "aboutbox.h"
#include "bulkdialog.h"
#include "datagramexchange.h"
#include "deviceactions.h"
#include "devicelinedelegate.h"
#include "devicelist.h"
#include "devicelistmodel.h"
#include "dialogs.h"
#include "latin1.h"
#include "macservice.h"
#include "messagelog.h"
#include "mnemonic.h"
#include "outcometexts.h"
#include "passwordprompt.h"
#include "showntext.h"
#include "statusline.h"
#include "twips.h"
#include "windowhost.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFile>
#include <QFocusEvent>
#include <QIdentityProxyModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QNetworkInterface>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>

namespace lv {

namespace {

// The list and its captions are measured for one sans face: DejaVu Sans on free
// desktops (the package depends on it), the system's UI face on Windows, where
// DejaVu is seldom installed and a missing face would fall back to a serif one.
// Their sizes were chosen beside a 9-point UI font and grow with a larger one.
QString listFamily()
{
#if defined(Q_OS_WIN)
    return QApplication::font().family();
#else
    return QStringLiteral("DejaVu Sans");
#endif
}

double fontScale(const QFont& uiFont)
{
    return uiFont.pointSizeF() > 0 ? qMax(1.0, uiFont.pointSizeF() / 9.0) : 1.0;
}

QFont listFont(double scale)
{
    QFont font(listFamily());
    font.setPointSizeF(7.5 * scale);
    // The smallest text of the program, at a size whose hinting a face may leave out: drawn as plain
    // one-bit glyphs (Windows' standard font smoothing leaves small sizes so), such a face loses
    // whole stems ("D" as a reversed "C"). Smoothed, every stroke shows; where smoothing is on
    // anyway this changes nothing.
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QFont headerFont(double scale)
{
    QFont font(listFamily());
    font.setPointSizeF(8.5 * scale);
    return font;
}

int leadingBlanksWidth(const QLabel* label)
{
    const QString text = label->text();
    qsizetype blanks = 0;
    while (blanks < text.size() && text.at(blanks) == QLatin1Char(' '))
        ++blanks;
    return label->fontMetrics().horizontalAdvance(text.left(blanks));
}

// The lines alone, for lstDev: a view that reads every column of its model (assistive technology
// reads a list as a table) would otherwise also offer the raw replies beside the lines.
class LineColumnOnly final : public QIdentityProxyModel {
public:
    LineColumnOnly(QAbstractItemModel* source, QObject* parent) : QIdentityProxyModel(parent)
    {
        setSourceModel(source);
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 1; }
};

// The hidden twin list as assistive technology sees it: an empty, invisible object, so the raw
// replies it holds are never read out as list items.
class HiddenListAccessible final : public QAccessibleWidget {
public:
    explicit HiddenListAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::NoRole) {}
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text) const override { return {}; }
    QAccessible::State state() const override
    {
        QAccessible::State hidden;
        hidden.invisible = true;
        return hidden;
    }
};

QAccessibleInterface* hiddenListFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("QListView") && object && object->objectName() == QLatin1String("lstDev2"))
        return new HiddenListAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

constexpr int kClientWidth = 5970;
constexpr int kClientHeight = 5265;

} // namespace

MainWindow::MainWindow(SessionState& state, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_search(state, this), m_channel(state, this)
{
    m_windows = new WindowHost(m_channel, m_state, this);
    m_log = new MessageLog(this);
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Linkvane"));
    buildMenus();
    buildControls();
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &MainWindow::updateBulkActions);
    connect(m_model, &QAbstractItemModel::modelReset, this, &MainWindow::updateBulkActions);
    updateBulkActions();
    m_macService = new MacService(
        *this, m_state, m_search, [this] { return m_search.deviceAt(selectedRow()); },
        [this] { return requestRunning(); });
    connect(m_macService, &MacService::macChangeFinished, this,
            [this](const MacChangeResult& result, const QString& mac) {
                report(describe(result, Audience::Window, {.device = mac}), mac, isFailure(result));
            });
}

MainWindow::~MainWindow()
{
    // The check's end is not reported while the window goes.
    m_verify.reset();
}

void MainWindow::buildMenus()
{
    QMenu* option = menuBar()->addMenu(QStringLiteral("&Option"));
    option->setObjectName(QStringLiteral("mnuOption"));
    QAction* port = option->addAction(QStringLiteral("&Command Port"));
    port->setObjectName(QStringLiteral("mnuIDPort"));
    connect(port, &QAction::triggered, this, &MainWindow::mnuIDPort_Click);
    m_interfaceMenu = option->addMenu(QStringLiteral("Network &Interface"));
    m_interfaceMenu->setObjectName(QStringLiteral("mnuInterface"));
    connect(m_interfaceMenu, &QMenu::aboutToShow, this, &MainWindow::fillInterfaceMenu);
    fillInterfaceMenu();
    QAction* target = option->addAction(QStringLiteral("Search &Target…"));
    target->setObjectName(QStringLiteral("mnuTarget"));
    connect(target, &QAction::triggered, this, &MainWindow::mnuTarget_Click);
    m_verifyAction = option->addAction(QStringLiteral("&Verify After Update"));
    m_verifyAction->setObjectName(QStringLiteral("mnuVerify"));
    m_verifyAction->setCheckable(true);
    m_verifyAction->setChecked(false);
    m_verifyAction->setToolTip(QStringLiteral("After an Update, ask the device for its settings again and compare"));
    QAction* messages = option->addAction(QStringLiteral("&Messages"));
    messages->setObjectName(QStringLiteral("mnuMessages"));
    messages->setToolTip(QStringLiteral("Every outcome since the program started"));
    connect(messages, &QAction::triggered, this, &MainWindow::showMessages);
    QAction* password = option->addAction(QStringLiteral("&Password"));
    password->setObjectName(QStringLiteral("mnuPasswrd"));
    connect(password, &QAction::triggered, this, [this] { showSetupPasswordPrompt(this, m_state); });
    QAction* exitAction = option->addAction(QStringLiteral("&Exit"));
    exitAction->setObjectName(QStringLiteral("mnuExit"));
    connect(exitAction, &QAction::triggered, this, &MainWindow::mnuExit_Click);

    // Many devices at once, and the actions of the device table for the selected device; the same
    // entries in the list's context menu.
    QMenu* devices = menuBar()->addMenu(QStringLiteral("&Devices"));
    devices->setObjectName(QStringLiteral("mnuDevices"));
    for (const BulkDialog::Kind kind :
         {BulkDialog::Kind::ChangeSettings, BulkDialog::Kind::NumberDevices, BulkDialog::Kind::CopySettings,
          BulkDialog::Kind::ApplyPlan, BulkDialog::Kind::Undo}) {
        if (kind == BulkDialog::Kind::ApplyPlan) {
            m_exportAction = devices->addAction(QStringLiteral("&Export…"));
            m_exportAction->setObjectName(QStringLiteral("mnuBulk_Export"));
            connect(m_exportAction, &QAction::triggered, this, &MainWindow::exportSelected);
        }
        QAction* entry = devices->addAction(bulkCaption(kind, 0));
        entry->setObjectName(QStringLiteral("mnuBulk_") + BulkDialog::title(kind).remove(QLatin1Char(' ')));
        connect(entry, &QAction::triggered, this, [this, kind] { openBulk(kind); });
        m_bulkActions.push_back({kind, entry});
    }
    bool separated = false;
    for (const DeviceAction& action : deviceActions()) {
        if (!action.menuCaption || !action.datagram)
            continue;
        if (!std::exchange(separated, true))
            devices->addSeparator();
        QAction* entry = devices->addAction(QString::fromUtf8(action.menuCaption));
        entry->setObjectName(QStringLiteral("mnuAction_") + QString::fromLatin1(action.name));
        connect(entry, &QAction::triggered, this, [this, action] { runDeviceAction(action); });
    }
    m_devicesMenu = devices;

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction* about = help->addAction(QStringLiteral("&About Linkvane"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    connect(about, &QAction::triggered, this, &MainWindow::mnuAbout_Click);
}

void MainWindow::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    m_cmdSearch = new QPushButton(QStringLiteral("Search Device"), client);
    m_cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    // Alt+S, underlined as the platform shows mnemonics.
    setMnemonic(m_cmdSearch, QLatin1Char('S'));
    m_cmdSearch->setToolTip(QStringLiteral("Search Device (Alt+S)"));
    m_cmdSearch->setGeometry(twipRect(120, 72, 1332, 348));
    connect(m_cmdSearch, &QPushButton::clicked, this, &MainWindow::cmdSearch_Click);

    const struct {
        const char* caption;
        QRect rect;
    } headers[] = {
        {"      MAC    Address", twipRect(75, 555, 2100, 255)},
        {"      IP    Address", twipRect(2160, 555, 1950, 255)},
        {"      Device    ID", twipRect(4080, 555, 1830, 255)},
    };
    int index = 0;
    for (const auto& header : headers) {
        auto* label = new QLabel(QString::fromLatin1(header.caption), client);
        label->setObjectName(QStringLiteral("Label1_%1").arg(index));
        label->setGeometry(header.rect);
        m_headers[static_cast<std::size_t>(index++)] = label;
    }

    m_model = new DeviceListModel(m_search, this);

    m_lstDev = new QListView(client);
    m_lstDev->setObjectName(QStringLiteral("lstDev"));
    m_lstDev->setAccessibleName(QStringLiteral("Devices"));
    m_lstDev->setAccessibleDescription(QStringLiteral("One line per device: MAC address, IP address, device ID"));
    m_lstDev->setModel(new LineColumnOnly(m_model, this));
    m_lstDev->setModelColumn(DeviceListModel::LineColumn);
    // Several lines for the Devices menu (Ctrl-click, Shift-click, Shift+arrows, Ctrl+A); a double-click
    // or Enter opens the one under the cursor.
    m_lstDev->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lstDev->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every line is one line of text high and as wide as the widest line seen
    // (the model keeps that size), so laying out thousands of lines measures no
    // text and takes one pass, and a long device ID still gets a horizontal
    // scroll bar.
    m_lstDev->setUniformItemSizes(true);
    m_lstDev->setTextElideMode(Qt::ElideNone);
    m_delegate = new DeviceLineDelegate(m_lstDev);
    m_lstDev->setItemDelegate(m_delegate);
    m_model->measureLinesFor(m_lstDev);
    m_model->setDrawnWidth([this](std::string_view line) { return m_delegate->drawnWidth(line); });
    m_lstDev->setGeometry(twipRect(72, 840, 5820, 4155));
    m_lstDev->installEventFilter(this);
    connect(m_lstDev, &QListView::doubleClicked, this, [this] { lstDev_DblClick(); });
    // The selection update runs whenever a line becomes selected, by mouse or keyboard; a click on the
    // line that is already selected runs it too.
    connect(m_lstDev->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        lstDev_Click();
        updateBulkActions();
    });
    m_lstDev->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_lstDev, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_devicesMenu->popup(m_lstDev->viewport()->mapToGlobal(at)); });
    connect(m_lstDev, &QListView::clicked, this, [this] { lstDev_Click(); });

    // The hidden twin list of the raw replies; never shown.
    m_lstDev2 = new QListView(client);
    m_lstDev2->setObjectName(QStringLiteral("lstDev2"));
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(hiddenListFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    m_lstDev2->setModel(m_model);
    m_lstDev2->setModelColumn(DeviceListModel::RawColumn);
    m_lstDev2->setGeometry(twipRect(120, 5448, 5580, 645));
    m_lstDev2->hide();

    // The status bar says what happened, below the list; the window grows by its height.
    setStatusBar(new StatusLine(this));
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    statusBar()->setSizeGripEnabled(false);
    connect(statusLine(), &StatusLine::clicked, this, &MainWindow::showMessages);
    // The count follows the lines as the list takes them in, in its batches: answers that trickle in
    // would otherwise lay out and repaint the status bar once each.
    const auto countChanged = [this] {
        if (m_searchStatus)
            showSearchCount();
    };
    connect(m_model, &QAbstractItemModel::rowsInserted, this, countChanged);
    connect(&m_search, &DeviceSearch::conflictsChanged, this, countChanged);
    connect(&m_search, &DeviceSearch::searchCountsChanged, this, countChanged);

    layOut();
    resize(m_clientSize.width(),
           m_clientSize.height() + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
}

void MainWindow::layOut()
{
    // The design's places in twips, each grown to what its text needs in the fonts in use.
    const double scale = fontScale(font());
    m_lstDev->setFont(listFont(scale));
    for (QLabel* header : m_headers)
        header->setFont(headerFont(scale));
    m_delegate->updateColumns();
    m_model->remeasure();

    QRect button = twipRect(120, 72, 1332, 348);
    button.setSize(button.size().expandedTo(m_cmdSearch->sizeHint()));
    m_cmdSearch->setGeometry(button);

    int headerHeight = twipsToPixels(255);
    for (QLabel* header : m_headers)
        headerHeight = qMax(headerHeight, header->sizeHint().height());
    const int headerTop = qMax(twipsToPixels(555), button.bottom() + 1 + twipsToPixels(60));

    // Wide enough for the widest line of the standard shape, drawn in columns or as plain text,
    // beside a vertical scroll bar.
    const QString widest = m_delegate->widestStandardLine();
    const int lineWidth =
        qMax(m_delegate->drawnWidth(toLatin1(widest)),
             m_lstDev->fontMetrics().horizontalAdvance(widest) + 2 * m_delegate->partLeft(DeviceLineDelegate::Mac));
    const QRect design = twipRect(72, 840, 5820, 4155);
    const int frame = m_lstDev->frameWidth();
    const int scrollBar = m_lstDev->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_lstDev);
    m_listDesign = QRect(design.left(), qMax(design.top(), headerTop + headerHeight + 2),
                         qMax(design.width(), 2 * frame + lineWidth + scrollBar + 2), design.height());
    const int rightMargin = twipsToPixels(kClientWidth) - design.right() - 1;
    const int bottomMargin = twipsToPixels(kClientHeight) - design.bottom() - 1;
    m_clientSize = QSize(qMax(twipsToPixels(kClientWidth), m_listDesign.right() + 1 + rightMargin),
                         qMax(twipsToPixels(kClientHeight), m_listDesign.bottom() + 1 + bottomMargin));
    centralWidget()->setMinimumSize(m_clientSize);

    // Each caption's text starts where its column's text starts.
    const int columnsLeft = m_listDesign.left() + frame;
    for (std::size_t i = 0; i < m_headers.size(); ++i) {
        QLabel* header = m_headers[i];
        const int left =
            columnsLeft + m_delegate->partLeft(static_cast<DeviceLineDelegate::Part>(i)) - leadingBlanksWidth(header);
        header->setGeometry(left, headerTop, header->sizeHint().width(), headerHeight);
    }
    placeList();
}

void MainWindow::placeList()
{
    // The list takes whatever room the window is given beyond the size it was laid out for.
    const QSize extra = centralWidget()->size() - m_clientSize;
    m_lstDev->setGeometry(m_listDesign.left(), m_listDesign.top(), m_listDesign.width() + qMax(0, extra.width()),
                          m_listDesign.height() + qMax(0, extra.height()));
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::FontChange && m_lstDev) {
        layOut();
        // A larger font needs a larger window; a smaller one leaves the operator's size alone.
        const QSize grow = m_clientSize - centralWidget()->size();
        if (grow.width() > 0 || grow.height() > 0)
            resize(size() + grow.expandedTo(QSize(0, 0)));
    }
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_lstDev && centralWidget())
        placeList();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Focus that reaches the list by keyboard selects a line (the current one, else the first), so
    // Enter has a device to open.
    if (watched == m_lstDev && event->type() == QEvent::FocusIn &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::MouseFocusReason && m_model->rowCount() > 0 &&
        selectedRow() < 0) {
        const QModelIndex current = m_lstDev->currentIndex();
        m_lstDev->selectionModel()->setCurrentIndex(current.isValid() ? current : m_lstDev->model()->index(0, 0),
                                                    QItemSelectionModel::ClearAndSelect);
    }
    if (watched == m_lstDev && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            lstDev_DblClick();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

int MainWindow::selectedRow() const
{
    const QModelIndex current = m_lstDev->currentIndex();
    if (!current.isValid() || !m_lstDev->selectionModel()->isSelected(current))
        return -1;
    return current.row();
}

void MainWindow::setBusy(bool busy)
{
    m_requestRunning = busy;
    // While a request waits, neither a new search nor a second request may start.
    m_cmdSearch->setEnabled(!busy);
    updateBulkActions();
}

StatusLine* MainWindow::statusLine() const
{
    return static_cast<StatusLine*>(statusBar());
}

void MainWindow::say(const QString& text, const QString& details)
{
    statusLine()->say(text, details);
}

void MainWindow::report(const QString& text, const QString& device, bool problem, const QString& details)
{
    statusLine()->say(text, details);
    m_log->add({QDateTime::currentDateTime(), device, text, problem});
    if (problem && !(m_messages && m_messages->isVisible() && m_messages->isActiveWindow()))
        statusLine()->setUnseenProblem(true);
}

void MainWindow::showMessages()
{
    if (!m_messages)
        m_messages = new MessagesWindow(*m_log, this);
    m_messages->show();
    m_messages->raise();
    m_messages->activateWindow();
    m_messages->list()->scrollToBottom();
    statusLine()->setUnseenProblem(false);
}

bool MainWindow::event(QEvent* event)
{
    // A menu's item sends its status tip while hovered, an empty one as the menu closes; QMainWindow
    // would show it in the status bar in place of the last outcome, which stays until the next one.
    if (event->type() == QEvent::StatusTip)
        return true;
    return QMainWindow::event(event);
}

const VerifyExchange* MainWindow::verifyRunning() const
{
    return m_verify && !m_verify->isFinished() ? m_verify.get() : nullptr;
}

bool MainWindow::verifyAfterUpdate() const
{
    return m_verifyAction->isChecked();
}

void MainWindow::setVerifyAfterUpdate(bool on)
{
    m_verifyAction->setChecked(on);
}

void MainWindow::showSearchCount()
{
    if (const int found = m_model->rowCount(); found > 0)
        say(searchCountText(found, m_search));
}

void MainWindow::cmdSearch_Click()
{
    if (m_requestRunning)
        return;
    m_searchStatus = true;
    say(QStringLiteral("Searching…"));
    SearchEnds ends;
    ends.waitMs = kSilenceMs;
    // A search still running gives way to this one without a word: the list goes on as one.
    delete m_searchRun;
    m_searchRun = new SearchExchange(m_search, std::move(ends), this);
    connect(m_searchRun, &SearchExchange::finished, this, &MainWindow::searchEnded);
    m_searchRun->start();
}

void MainWindow::searchEnded()
{
    // The list goes on taking late answers; the status bar only says how the search window ended.
    const SearchResult& result = m_searchRun->result();
    switch (result.outcome) {
    case SearchResult::Outcome::Listed:
        // Answers lost or left out may have been counted after the last line came in.
        if (m_searchStatus)
            report(searchCountText(m_model->rowCount(), m_search), {}, isFailure(result));
        break;
    case SearchResult::Outcome::NothingAnswered:
        // The tooltip says what the search saw per interface and why nothing may have answered.
        if (m_searchStatus)
            report(describe(result, Audience::Window), {}, isFailure(result),
                   windowDiagnosisText(diagnose(m_search, m_state, kSilenceMs)));
        break;
    case SearchResult::Outcome::NotSent:
    case SearchResult::Outcome::NoInterface:
        m_searchStatus = false;
        report(describe(result, Audience::Window, {.interfaceName = m_state.interfaceName}), {}, isFailure(result));
        break;
    case SearchResult::Outcome::Aborted:
        break;
    }
}

void MainWindow::fillInterfaceMenu()
{
    m_interfaceMenu->clear();
    auto* group = new QActionGroup(m_interfaceMenu);
    const auto add = [&](const QString& caption, const QString& name) {
        QAction* action = m_interfaceMenu->addAction(caption);
        action->setCheckable(true);
        action->setChecked(name == m_state.interfaceName);
        action->setData(name);
        action->setObjectName(name.isEmpty() ? QStringLiteral("mnuInterfaceAll")
                                             : QStringLiteral("mnuInterface_") + name);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, name] { chooseInterface(name); });
    };
    add(QStringLiteral("All interfaces"), QString());
    bool chosenListed = m_state.interfaceName.isEmpty();
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        if (!iface.flags().testFlag(QNetworkInterface::IsUp))
            continue;
        QString address;
        for (const QNetworkAddressEntry& entry : iface.addressEntries())
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                address = entry.ip().toString();
                break;
            }
        if (address.isEmpty())
            continue;
        // Windows' own name for a card ("Ethernet"); elsewhere the same as its name.
        add(QStringLiteral("%1 (%2)").arg(iface.humanReadableName(), address), iface.name());
        chosenListed = chosenListed || iface.name() == m_state.interfaceName;
    }
    if (!chosenListed)
        add(m_state.interfaceName, m_state.interfaceName);
}

void MainWindow::chooseInterface(const QString& name)
{
    m_state.interfaceName = name;
    say(name.isEmpty() ? QStringLiteral("Searching on all interfaces")
                       : QStringLiteral("Searching on %1 only").arg(name));
}

void MainWindow::mnuTarget_Click()
{
    const QString current =
        m_state.broadcast == QHostAddress(QHostAddress::Broadcast) ? QString() : m_state.broadcast.toString();
    const std::optional<QString> entry =
        Dialogs::inputText(this, QStringLiteral("Search and command target (empty: 255.255.255.255)"),
                           QStringLiteral("Search Target"), current);
    if (!entry)
        return;
    const QString text = entry->trimmed();
    if (text.isEmpty()) {
        m_state.broadcast = QHostAddress(QHostAddress::Broadcast);
        say(QStringLiteral("Target: 255.255.255.255"));
        return;
    }
    QHostAddress address;
    if (!address.setAddress(text) || address.protocol() != QAbstractSocket::IPv4Protocol) {
        say(QStringLiteral("%1 is not an IPv4 address; the target stays %2").arg(text, m_state.broadcast.toString()));
        return;
    }
    m_state.broadcast = address;
    say(QStringLiteral("Target: %1").arg(address.toString()));
}

void MainWindow::lstDev_Click()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    m_lstDev2->setCurrentIndex(m_model->index(row, DeviceListModel::RawColumn));
}

void MainWindow::lstDev_DblClick()
{
    if (m_requestRunning || m_exiting)
        return;
    const std::optional<DeviceRef> device = m_search.deviceAt(selectedRow());
    if (!device)
        return;
    const int row = device->row;
    m_lstDev2->setCurrentIndex(m_model->index(row, DeviceListModel::RawColumn));
    const QString mac = fromLatin1(device->macText);
    m_searchStatus = false;
    if (m_search.answerShared(row)) {
        // Another host sends this device's answer: whichever answers a request, it may not be the device.
        report(sharedAnswerText(mac, m_search.sendersOf(row)), mac, true);
        Q_EMIT requestFinished();
        return;
    }
    say(QStringLiteral("Asking %1…").arg(mac));
    setBusy(true);
    ConfigRequest request(m_channel, *device, toLatin1(m_state.gSetupPass));
    const ConfigRequestResult result = runExchange(request);
    setBusy(false);
    if (m_exiting) {
        Q_EMIT requestFinished();
        return;
    }
    report(describe(result, Audience::Window, {.device = mac, .timeoutMs = kRequestTimeoutMs}), mac, isFailure(result),
           strangersText(result.strangers));
    if (result.valid()) {
        m_lastAnswered = AnsweredDevice{*device, result.modelVersion, result.dispatch};
        // The list stays usable during the wait; the window edits the device
        // that was asked, so that line is selected again and is the one patched.
        m_lstDev->setCurrentIndex(m_lstDev->model()->index(row, DeviceListModel::LineColumn));
        openSetupWindow(result, *device);
    }
    Q_EMIT requestFinished();
}

namespace {

// An entry's caption that names how many devices it is for ("Change &Settings of 12 Devices…"); the
// entries that act on one device or on a file name none.
QString countedCaption(const char* plain, const char* counted, int count)
{
    if (count == 0 || !counted)
        return QString::fromUtf8(plain);
    return QString::fromUtf8(counted).arg(count == 1 ? QStringLiteral("1 Device")
                                                     : QStringLiteral("%1 Devices").arg(count));
}

} // namespace

QString MainWindow::bulkCaption(BulkDialog::Kind kind, int count)
{
    static const std::map<BulkDialog::Kind, std::pair<const char*, const char*>> kCaptions{
        {BulkDialog::Kind::ChangeSettings, {"Change &Settings…", "Change &Settings of %1…"}},
        {BulkDialog::Kind::NumberDevices, {"&Number Devices…", "&Number %1…"}},
        {BulkDialog::Kind::CopySettings, {"Copy Settings &From This Device…", nullptr}},
        {BulkDialog::Kind::ApplyPlan, {"Apply &Plan…", nullptr}},
        {BulkDialog::Kind::Undo, {"&Undo Last Change", nullptr}},
    };
    const auto& [plain, counted] = kCaptions.at(kind);
    return countedCaption(plain, counted, count);
}

std::vector<int> MainWindow::selectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_lstDev->selectionModel()->selectedIndexes())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void MainWindow::updateBulkActions()
{
    if (!m_lstDev)
        return;
    const int selected = static_cast<int>(selectedRows().size());
    for (const auto& [kind, entry] : m_bulkActions) {
        entry->setText(bulkCaption(kind, selected));
        const bool needsSelection = kind == BulkDialog::Kind::ChangeSettings || kind == BulkDialog::Kind::NumberDevices;
        const bool possible = kind == BulkDialog::Kind::Undo           ? !m_lastBackup.isEmpty()
                              : kind == BulkDialog::Kind::CopySettings ? selected > 1 && selectedRow() >= 0
                              : needsSelection                         ? selected > 0
                                                                       : m_model->rowCount() > 0;
        entry->setEnabled(possible && !m_requestRunning);
    }
    m_exportAction->setText(countedCaption("&Export…", "&Export %1…", selected));
    m_exportAction->setEnabled(selected > 0 && !m_requestRunning);
}

void MainWindow::openBulk(BulkDialog::Kind kind)
{
    if (m_requestRunning || m_exiting)
        return;
    std::optional<Plan> plan;
    if (kind == BulkDialog::Kind::ApplyPlan || kind == BulkDialog::Kind::Undo) {
        const std::optional<QString> path =
            kind == BulkDialog::Kind::Undo
                ? std::optional(m_lastBackup)
                : Dialogs::openFileName(this, BulkDialog::title(kind), QStringLiteral("Plans (*.json *.csv)"));
        if (!path)
            return;
        QString error;
        QFile file(*path);
        const std::optional<PlanFormat> format = planFormatFor(*path, {});
        if (!file.open(QIODevice::ReadOnly) || !(plan = readPlan(file.readAll(), *format, &error))) {
            report(QStringLiteral("%1: %2").arg(*path, error.isEmpty() ? file.errorString() : error), {}, true);
            return;
        }
    }
    std::vector<int> rows = selectedRows();
    SetEntries changes;
    if (kind == BulkDialog::Kind::NumberDevices)
        changes = {{QStringLiteral("deviceId"), QStringLiteral("Device-{n:03}"), true},
                   {QStringLiteral("ip"), QStringLiteral("192.168.1.{n+10}"), true}};
    if (kind == BulkDialog::Kind::CopySettings) {
        // The fields of the device under the cursor that have a role, for the other selected devices.
        const std::optional<std::vector<std::pair<QString, QString>>> fields = rolesOfCurrentDevice();
        if (!fields)
            return;
        for (const auto& [role, value] : *fields)
            changes.push_back({role, value, true});
        std::erase(rows, selectedRow());
    }
    FoundDevices devices = plan ? foundDevices(m_search) : foundDevices(m_search, rows);
    const QString backup = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                           QStringLiteral("/linkvane-backup-%1.json")
                               .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    BulkDialog dialog(kind, m_state, m_mask, std::move(devices), std::move(plan), std::move(changes),
                      {.verify = verifyAfterUpdate(), .timeoutMs = kRequestTimeoutMs}, backup, this);
    setBusy(true);
    dialog.exec();
    setBusy(false);
    if (const BulkChange* change = dialog.change(); change && change->run()) {
        const FleetRun& run = *change->run();
        for (std::size_t t = 0; t < run.targets.size(); ++t) {
            const DeviceOutcome& o = run.outcome(t);
            const QString error = o.error();
            const QString mac = fromLatin1(o.macText);
            report(QStringLiteral("%1 %2").arg(printableName(o.named), resultText(o.result())) +
                       (error.isEmpty() ? QString() : QStringLiteral(": ") + error),
                   mac, !o.succeeded());
            // The list shows the device's new address and ID as after a single Update.
            if (run.jobOf[t] >= 0 && o.steps.update && o.steps.update->answered() && o.form())
                if (const DeviceLinePatch patch = o.form()->linePatch(); patch.changesLine())
                    patchLine(run.targets[t].device->ref.row, patch);
        }
        if (!dialog.backupWritten().isEmpty())
            m_lastBackup = dialog.backupWritten();
    }
    updateBulkActions();
}

DeviceJobs MainWindow::loadJobs(const FoundDevices& devices)
{
    DeviceJobs jobs;
    for (const FoundDevice& device : devices) {
        DeviceTask task;
        task.device = device.ref;
        task.macText = device.answer.macText;
        task.password = toLatin1(m_state.gSetupPass);
        jobs.push_back(std::make_unique<DeviceJob>(
            m_state, std::move(task), JobSettings{.mode = JobSettings::Mode::Load, .timeoutMs = kRequestTimeoutMs},
            m_mask));
    }
    setBusy(true);
    say(QStringLiteral("Reading %1 devices…").arg(jobs.size()));
    runDeviceJobs(jobs, BulkSettings{}.parallel, {});
    setBusy(false);
    return jobs;
}

std::optional<std::vector<std::pair<QString, QString>>> MainWindow::rolesOfCurrentDevice()
{
    const int row = selectedRow();
    const DeviceJobs jobs = loadJobs(foundDevices(m_search, std::vector<int>{row}));
    const DeviceOutcome& o = jobs.front()->outcome();
    const QString mac = fromLatin1(o.macText);
    if (o.result() != FleetResult::Loaded) {
        report(mac + QStringLiteral(": ") + o.error(), mac, true);
        return std::nullopt;
    }
    std::vector<std::pair<QString, QString>> fields;
    for (auto& [field, value] : settableFieldList(*o.form(), m_mask))
        if (!field->role.empty() && !field->secret)
            fields.emplace_back(fromLatin1(field->role), std::move(value));
    return fields;
}

void MainWindow::exportSelected()
{
    const std::optional<QString> path =
        Dialogs::saveFileName(this, QStringLiteral("Export"), QStringLiteral("Plans (*.json *.csv)"));
    if (!path)
        return;
    const bool csv = path->endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
    const DeviceJobs jobs = loadJobs(foundDevices(m_search, selectedRows()));
    QJsonArray entries;
    std::vector<CsvPlanRow> rows;
    for (const auto& job : jobs) {
        const DeviceOutcome& o = job->outcome();
        const QString mac = fromLatin1(o.macText);
        if (o.result() != FleetResult::Loaded) {
            report(mac + QStringLiteral(": ") + o.error(), mac, true);
            continue;
        }
        if (csv)
            rows.push_back(exportRow(o, m_mask));
        else
            entries.append(exportEntry(o, m_mask, false));
    }
    QSaveFile file(*path);
    const QByteArray bytes =
        csv ? csvPlanText(rows) : QJsonDocument(QJsonObject{{QStringLiteral("devices"), entries}}).toJson();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return report(QStringLiteral("%1: %2").arg(*path, file.errorString()), {}, true);
    report(QStringLiteral("Exported %1 devices to %2")
               .arg(csv ? rows.size() : static_cast<std::size_t>(entries.size()))
               .arg(*path),
           {}, false);
}

void MainWindow::runDeviceAction(const DeviceAction& action)
{
    if (m_requestRunning || m_exiting)
        return;
    const std::optional<DeviceRef> device = m_search.deviceAt(selectedRow());
    if (!device)
        return;
    const QString mac = fromLatin1(device->macText);
    if (m_search.answerShared(device->row))
        return report(sharedAnswerText(mac, m_search.sendersOf(device->row)), mac, true);
    setBusy(true);
    DatagramExchange exchange(m_channel, *device, *action.datagram, PlannedAction{action.kind},
                              action.datagram->timeoutMs);
    const DatagramResult result = runExchange(exchange);
    setBusy(false);
    if (!m_exiting)
        report(describe(result, action, Audience::Window, {.device = mac, .timeoutMs = action.datagram->timeoutMs}),
               mac, meaningOf(result, action).failure);
}

void MainWindow::openSetupWindow(const ConfigRequestResult& result, const DeviceRef& device)
{
    const QString mac = fromLatin1(device.macText);
    // While the window is shown, the channel sends only its Updates.
    const QMetaObject::Connection sending = connect(&m_channel, &CommandChannel::sending, this, [this, mac] {
        say(QStringLiteral("Sending the update to %1…").arg(mac));
    });
    const SetupOutcome outcome = m_windows->open(result, device, [this, mac](const UpdateResult& update) {
        report(describe(update, Audience::Window, {.device = mac}), mac, isFailure(update),
               strangersText(update.strangers));
    });
    disconnect(sending);
    if (outcome.patch && outcome.patch->changesLine())
        patchLine(device.row, *outcome.patch);
    // Closed without an Update: the status bar no longer says the window is open. After an Update
    // the device did not confirm, that failure stays the last word.
    if (outcome.updates.empty() && result.dispatch.windowDef && !m_exiting)
        report(windowClosedText(*result.dispatch.windowDef), mac, false);
    if (outcome.confirmed && verifyAfterUpdate() && !m_exiting)
        startVerify(result, device, *outcome.confirmed, mac);
}

void MainWindow::startVerify(const ConfigRequestResult& request, const DeviceRef& device, const UpdatePlan& plan,
                             const QString& mac)
{
    const WindowDef& window = *request.dispatch.windowDef;
    // A check still running for an earlier Update gives way; its channel goes with it.
    m_verify.reset();
    m_verifyChannel = std::make_unique<CommandChannel>(m_state);
    m_verify = std::make_unique<VerifyExchange>(*m_verifyChannel, device, toLatin1(m_state.gSetupPass), window,
                                                request.dispatch.portCount, plan);
    connect(m_verify.get(), &VerifyExchange::finished, this, [this, mac, &window] { onVerified(mac, window); });
    // Said before the check starts: one that cannot send ends at once and says so after this.
    say(windowVerifyStartedText(mac));
    m_verify->start();
}

void MainWindow::onVerified(const QString& mac, const WindowDef& window)
{
    // A check given way to, or going with the window, ends unreported.
    if (!m_verify)
        return;
    const VerifyResult& result = m_verify->result();
    const TextContext context{.device = mac, .window = &window};
    if (const QString text = describe(result, Audience::Window, context); !text.isEmpty())
        report(text, mac, isFailure(result), windowVerifyDetails(result, context, m_verifyChannel->strangers()));
    Q_EMIT verifyFinished();
}

void MainWindow::patchLine(int row, const DeviceLinePatch& patch)
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_search.devices().size())
        return;
    // The device now answers at its new IP: the raw entry, from which the next request takes the
    // address, says so as well.
    if (patch.ipChanged)
        if (const std::optional<std::string> raw =
                entryWithIp(m_search.devices().raw(static_cast<std::size_t>(row)), patch.newIp))
            m_search.setRaw(row, *raw);
    m_search.setLine(row, patchDeviceLine(m_search.devices().line(static_cast<std::size_t>(row)), patch));
}

void MainWindow::mnuIDPort_Click()
{
    for (;;) {
        const std::optional<QString> entry =
            Dialogs::inputText(this, QStringLiteral("Please Input ID Port"), QStringLiteral("InputBox"),
                               QString::number(m_state.gCmdPort));
        if (!entry || entry->isEmpty())
            return;
        if (const std::optional<quint16> port = normaliseCommandPort(*entry)) {
            m_state.gCmdPort = *port;
            return;
        }
        Dialogs::message(this, QStringLiteral("Range: 0~65535"), QStringLiteral("MsgBox"));
    }
}

void MainWindow::mnuAbout_Click()
{
    AboutBox box(this);
    box.exec();
}

void MainWindow::mnuExit_Click()
{
    // Ends the program at once: no unload step, no other window closed first.
    m_exiting = true;
    QCoreApplication::exit(0);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Unloads the setup windows that a multi-port load left hidden, then ends;
    // a request still waiting opens no window after this.
    m_exiting = true;
    m_windows->unloadAll();
    event->accept();
    QCoreApplication::exit(0);
}

} // namespace lv
