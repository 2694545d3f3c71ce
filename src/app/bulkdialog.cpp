// SPDX-License-Identifier: Apache-2.0
// The window's change of many devices: what to set, the preview, the run, the results.

#include "bulkdialog.h"

#include "latin1.h"
#include "outcometexts.h"
#include "privatefile.h"
#include "showntext.h"
#include "typedvalue.h"
#include "valuetemplate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <map>
#include <string>
#include <utility>

namespace lv {

namespace {

// A field's value as its window shows it (a list by its entry, a secret as "***"), escaped.
QString shownField(const WindowDef* window, const std::string& tag, const std::string& value)
{
    return printableName(shownValue(window, tag, value));
}

// A widget of the dialog, found by tests under `objectName` and read out by `accessibleName`.
template <class Widget, class... Args>
Widget* named(QWidget* parent, const char* objectName, const QString& accessibleName, Args&&... args)
{
    auto* w = new Widget(std::forward<Args>(args)..., parent);
    w->setObjectName(QString::fromLatin1(objectName));
    if (!accessibleName.isEmpty())
        w->setAccessibleName(accessibleName);
    return w;
}

// A push button named "cmd" + its name: "cmdApply".
QPushButton* button(const QString& caption, const char* name, QWidget* parent)
{
    return named<QPushButton>(parent, (std::string("cmd") + name).c_str(), QString::fromLatin1(name), caption);
}

QTableWidget* table(const QStringList& headers, const char* name, QWidget* parent)
{
    auto* t = named<QTableWidget>(parent, (std::string("tbl") + name).c_str(), QString::fromLatin1(name), 0,
                                  static_cast<int>(headers.size()));
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->horizontalHeader()->setStretchLastSection(true);
    t->verticalHeader()->hide();
    return t;
}

void appendRow(QTableWidget* t, const QStringList& cells)
{
    const int row = t->rowCount();
    t->insertRow(row);
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        item->setToolTip(cells[c]);
        t->setItem(row, c, item);
    }
}

// A row of a form: the caption's mnemonic moves to `field`.
void addLabelled(QFormLayout* form, const QString& caption, QWidget* field)
{
    auto* label = new QLabel(caption, field->parentWidget());
    label->setBuddy(field);
    form->addRow(label, field);
}

} // namespace

// How the run goes: how many devices at once, retries, the check after each Update, the backup's file.
class RunOptions final : public QWidget {
public:
    RunOptions(const BulkSettings& settings, QWidget* parent) : QWidget(parent), m_settings(settings)
    {
        auto* form = new QFormLayout(this);
        form->setContentsMargins({});
        m_parallel = named<QSpinBox>(this, "spnParallel", QStringLiteral("At once"));
        m_parallel->setRange(1, 256);
        m_parallel->setValue(settings.parallel);
        m_retries = named<QSpinBox>(this, "spnRetries", QStringLiteral("Retries"));
        m_retries->setRange(0, 10);
        m_retries->setValue(settings.retries);
        m_verify = named<QCheckBox>(this, "chkVerify", {}, QStringLiteral("&Verify after update"));
        m_verify->setChecked(settings.verify);
        m_backup = named<QLineEdit>(this, "txtBackup", QStringLiteral("Backup"));
        addLabelled(form, QStringLiteral("At &once:"), m_parallel);
        addLabelled(form, QStringLiteral("&Retries:"), m_retries);
        form->addRow(QString(), m_verify);
        addLabelled(form, QStringLiteral("&Backup to:"), m_backup);
    }

    BulkSettings settings() const
    {
        BulkSettings settings = m_settings;
        settings.parallel = m_parallel->value();
        settings.retries = m_retries->value();
        settings.verify = m_verify->isChecked();
        return settings;
    }
    QString backupPath() const { return m_backup->text(); }
    void setBackupPath(const QString& path) { m_backup->setText(path); }

private:
    BulkSettings m_settings;
    QSpinBox* m_parallel;
    QSpinBox* m_retries;
    QCheckBox* m_verify;
    QLineEdit* m_backup;
};

QString BulkDialog::title(Kind kind)
{
    static const std::map<Kind, const char*> kTitles{{Kind::ChangeSettings, "Change Settings"},
                                                     {Kind::NumberDevices, "Number Devices"},
                                                     {Kind::CopySettings, "Copy Settings"},
                                                     {Kind::ApplyPlan, "Apply Plan"},
                                                     {Kind::Undo, "Undo Last Change"}};
    return QString::fromLatin1(kTitles.at(kind));
}

BulkDialog::BulkDialog(Kind kind, SessionState& state, SecretMask& mask, FoundDevices devices, std::optional<Plan> plan,
                       SetEntries changes, BulkSettings settings, QString backupPath, QWidget* parent)
    : QDialog(parent), m_kind(kind), m_state(state), m_mask(mask), m_devices(std::move(devices)),
      m_plan(std::move(plan)), m_settings(settings)
{
    setObjectName(QStringLiteral("frmBulk"));
    setWindowTitle(title(kind));
    setAccessibleName(title(kind));
    m_pages = new QStackedWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    buildEditPage(changes);
    buildPreviewPage();
    buildRunPage();
    buildResultsPage();
    m_options->setBackupPath(backupPath);
    resize(760, 460);
    if (m_plan)
        startPreview();
}

BulkDialog::~BulkDialog() = default;

QVBoxLayout* BulkDialog::addPage()
{
    auto* page = new QWidget(m_pages);
    m_pages->addWidget(page);
    return new QVBoxLayout(page);
}

// The last row of a page: its own button, then Close (which ends the dialog as `closed` says).
void BulkDialog::addButtonRow(QVBoxLayout* layout, QPushButton* own, void (QDialog::*closed)())
{
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    if (own)
        buttons->addWidget(own);
    QPushButton* close = button(QStringLiteral("C&lose"), "Close", layout->parentWidget());
    connect(close, &QPushButton::clicked, this, closed);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    if (!own)
        m_runPage.close = close;
}

void BulkDialog::buildEditPage(const SetEntries& changes)
{
    QVBoxLayout* layout = addPage();
    QWidget* page = layout->parentWidget();
    auto* form = new QFormLayout;
    m_edit.field = named<QComboBox>(page, "cboField", QStringLiteral("Field"));
    m_edit.field->setEditable(true);
    m_edit.field->addItems(roleNamesText().split(QStringLiteral(", ")));
    m_edit.value = named<QLineEdit>(page, "txtValue", QStringLiteral("Value"));
    m_edit.value->setToolTip(
        QStringLiteral("Templates number the devices in MAC order: {n}, {n:03}, {n+10}, {mac}, {id}"));
    addLabelled(form, QStringLiteral("&Field:"), m_edit.field);
    addLabelled(form, QStringLiteral("&Value:"), m_edit.value);
    layout->addLayout(form);
    QPushButton* add = button(QStringLiteral("A&dd"), "Add", page);
    connect(add, &QPushButton::clicked, this, &BulkDialog::addChange);
    connect(m_edit.value, &QLineEdit::returnPressed, this, &BulkDialog::addChange);
    layout->addWidget(add, 0, Qt::AlignRight);
    m_edit.changes = table({QStringLiteral("Field"), QStringLiteral("Value")}, "Changes", page);
    layout->addWidget(m_edit.changes);
    QPushButton* remove = button(QStringLiteral("&Remove"), "Remove", page);
    connect(remove, &QPushButton::clicked, this, [this] {
        for (int row = m_edit.changes->rowCount() - 1; row >= 0; --row)
            if (m_edit.changes->item(row, 0) && m_edit.changes->item(row, 0)->isSelected())
                m_edit.changes->removeRow(row);
    });
    layout->addWidget(remove, 0, Qt::AlignRight);
    for (const SetEntry& change : changes)
        appendRow(m_edit.changes, {change.name, change.value});
    m_edit.preview = button(QStringLiteral("&Preview"), "Preview", page);
    m_edit.preview->setDefault(true);
    connect(m_edit.preview, &QPushButton::clicked, this, &BulkDialog::startPreview);
    addButtonRow(layout, m_edit.preview, &QDialog::reject);
}

void BulkDialog::addChange()
{
    const QString field = m_edit.field->currentText().trimmed();
    if (field.isEmpty())
        return;
    appendRow(m_edit.changes, {field, m_edit.value->text()});
    m_edit.value->clear();
    m_edit.field->setFocus();
}

void BulkDialog::buildPreviewPage()
{
    QVBoxLayout* layout = addPage();
    QWidget* page = layout->parentWidget();
    m_previewPage.table = table({QStringLiteral("Device"), QStringLiteral("Field"), QStringLiteral("Loaded"),
                                 QStringLiteral("New"), QStringLiteral("Note")},
                                "Preview", page);
    layout->addWidget(m_previewPage.table);
    m_previewPage.note = named<QLabel>(page, "lblPreview", {});
    m_previewPage.note->setWordWrap(true);
    layout->addWidget(m_previewPage.note);
    m_options = new RunOptions(m_settings, page);
    layout->addWidget(m_options);
    m_previewPage.apply = button(QStringLiteral("&Apply"), "Apply", page);
    connect(m_previewPage.apply, &QPushButton::clicked, this, &BulkDialog::startRun);
    addButtonRow(layout, m_previewPage.apply, &QDialog::reject);
}

void BulkDialog::buildRunPage()
{
    QVBoxLayout* layout = addPage();
    QWidget* page = layout->parentWidget();
    m_runPage.progress = named<QProgressBar>(page, "prgRun", QStringLiteral("Progress"));
    layout->addWidget(m_runPage.progress);
    m_runPage.counts = named<QLabel>(page, "lblCounts", {});
    m_runPage.counts->setWordWrap(true);
    layout->addWidget(m_runPage.counts);
    layout->addStretch();
    m_runPage.cancel = button(QStringLiteral("&Cancel"), "Cancel", page);
    connect(m_runPage.cancel, &QPushButton::clicked, this, [this] {
        m_change->stop();
        m_runPage.cancel->setEnabled(false);
        showProgress();
    });
    layout->addWidget(m_runPage.cancel, 0, Qt::AlignRight);
}

void BulkDialog::buildResultsPage()
{
    QVBoxLayout* layout = addPage();
    m_runPage.text = named<QPlainTextEdit>(layout->parentWidget(), "txtResults", QStringLiteral("Results"));
    m_runPage.text->setReadOnly(true);
    m_runPage.text->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(m_runPage.text);
    addButtonRow(layout, nullptr, &QDialog::accept);
}

Plan BulkDialog::typedPlan() const
{
    // One entry for the selected devices, numbered in MAC order; a field a device's window lacks is left
    // out of it, so that one change reaches every family that has the role.
    PlanEntry entry;
    entry.device = QStringLiteral("the selected devices");
    entry.selection = DeviceSelection{};
    for (int row = 0; row < m_edit.changes->rowCount(); ++row)
        entry.set.push_back({m_edit.changes->item(row, 0)->text(),
                             m_edit.changes->item(row, 1) ? m_edit.changes->item(row, 1)->text() : QString(), true});
    Plan plan;
    plan.entries.push_back(std::move(entry));
    return plan;
}

void BulkDialog::startPreview()
{
    if (!m_plan) {
        if (!m_edit.value->text().isEmpty())
            addChange();
        // A value whose templates do not read is refused before any device is asked.
        for (int row = 0; row < m_edit.changes->rowCount(); ++row)
            if (const std::optional<QString> why = templateFault(m_edit.changes->item(row, 1)->text())) {
                m_edit.changes->selectRow(row);
                m_edit.preview->setToolTip(*why);
                return;
            }
    }
    const Plan plan = m_plan ? *m_plan : typedPlan();
    m_preview = std::make_unique<BulkChange>(m_state, m_mask, m_devices, plan, m_settings);
    connect(m_preview.get(), &BulkChange::previewReady, this, &BulkDialog::showPreview);
    m_pages->setCurrentIndex(1);
    m_previewPage.apply->setEnabled(false);
    m_previewPage.note->setText(QStringLiteral("Reading %1 devices…").arg(m_devices.size()));
    if (const std::optional<Failure> failed = m_preview->preview())
        m_previewPage.note->setText(failed->message);
}

void BulkDialog::showPreview()
{
    m_previewPage.table->setRowCount(0);
    const FleetRun& run = m_preview->previewed();
    for (const DeviceOutcome* o : run.byPlan()) {
        const QString device = printableName(o->named);
        const WindowDef* window = o->form() ? &o->form()->window() : nullptr;
        if (o->result() == FleetResult::WouldUpdate && o->plan()) {
            for (const FieldChange& change : o->plan()->changedFields)
                appendRow(m_previewPage.table,
                          {device, printableText(change.tag), shownField(window, change.tag, change.loaded),
                           shownField(window, change.tag, change.current), QString()});
            continue;
        }
        const QString error = o->error();
        appendRow(m_previewPage.table,
                  {device, QString(), QString(), QString(),
                   resultText(o->result()) + (error.isEmpty() ? QString() : QStringLiteral(": ") + error)});
    }
    // Every column as wide as its longest text, a long note too: the table scrolls rather than cut it.
    m_previewPage.table->horizontalHeader()->setStretchLastSection(false);
    m_previewPage.table->resizeColumnsToContents();
    const RunCounts counts = m_preview->counts();
    const int changing = counts.of(FleetResult::WouldUpdate);
    m_previewPage.note->setText(changing > 0
                                    ? QStringLiteral("%1 of %2 devices would be sent an update; nothing is sent "
                                                     "before Apply.")
                                          .arg(changing)
                                          .arg(run.targets.size())
                                    : QStringLiteral("No device would be sent anything."));
    m_previewPage.apply->setEnabled(changing > 0);
    m_previewPage.apply->setFocus();
}

void BulkDialog::startRun()
{
    // The backup is on disk before the first set command leaves, or nothing leaves.
    const PrivateFile file(m_options->backupPath());
    bool holdsSecrets = false;
    std::optional<QString> failed = backupRefused(file);
    if (!failed)
        failed = m_preview->writeBackup(file, &holdsSecrets);
    if (failed) {
        m_previewPage.note->setText(*failed + QStringLiteral("; nothing was sent"));
        return;
    }
    m_backupWritten = file.path();
    const BulkSettings settings = m_options->settings();
    // The run reads every device again, as the CLI's apply does after its backup, then sends.
    m_change = std::move(m_preview);
    connect(m_change.get(), &BulkChange::progressed, this, [this](const DeviceOutcome& o) {
        Q_EMIT deviceEnded(o);
        showProgress();
    });
    connect(m_change.get(), &BulkChange::ranFinished, this, &BulkDialog::showResults);
    m_pages->setCurrentIndex(2);
    m_runPage.cancel->setFocus();
    m_change->apply(settings);
    showProgress();
}

void BulkDialog::showProgress()
{
    const RunCounts counts = m_change->counts();
    int ended = 0;
    for (const auto& [result, n] : counts.ended)
        ended += n;
    m_runPage.progress->setRange(0, ended + counts.left);
    m_runPage.progress->setValue(ended);
    const int failed = ended - counts.of(FleetResult::Updated) - counts.of(FleetResult::Unchanged);
    QString text = QStringLiteral("%1 updated, %2 unchanged, %3 failed, %4 left")
                       .arg(counts.of(FleetResult::Updated))
                       .arg(counts.of(FleetResult::Unchanged))
                       .arg(failed)
                       .arg(counts.left);
    if (m_change->stopped())
        text += QStringLiteral("\nCancelled: the updates under way end, no device is started after them.");
    m_runPage.counts->setText(text);
}

void BulkDialog::showResults()
{
    QStringList failures;
    QStringList others;
    for (const DeviceOutcome* o : m_change->run()->byPlan()) {
        QString line = printableName(o->named) + QStringLiteral("  ") + resultText(o->result());
        if (const std::optional<std::string> sent = o->sent(); sent && o->plan())
            for (const FieldChange& change : o->plan()->changedFields)
                line += QStringLiteral("; %1 %2").arg(
                    printableText(change.tag),
                    shownField(o->form() ? &o->form()->window() : nullptr, change.tag, change.current));
        if (const QString error = o->error(); !error.isEmpty())
            line += QStringLiteral("; ") + error;
        if (o->steps.verify)
            line += QStringLiteral("; check: ") +
                    (o->steps.verify->verified() ? QStringLiteral("verified") : QStringLiteral("not as sent"));
        if (o->tries() > 1)
            line += QStringLiteral("; after %1 tries").arg(o->tries());
        (o->succeeded() ? others : failures).append(line);
    }
    const QString summary = fleetSummaryText(m_change->counts(), 0, 0).section(QStringLiteral(" in "), 0, 0);
    m_runPage.text->setPlainText(
        (failures + others).join(QLatin1Char('\n')) + QStringLiteral("\n\n") + summary +
        (m_backupWritten.isEmpty() ? QString() : QStringLiteral("\nBackup: ") + m_backupWritten));
    m_pages->setCurrentIndex(3);
    m_runPage.close->setFocus();
}

void BulkDialog::reject()
{
    // While devices are being sent their updates the dialog stays: Cancel stops the run.
    if (m_change && m_change->running())
        return;
    QDialog::reject();
}

} // namespace lv
