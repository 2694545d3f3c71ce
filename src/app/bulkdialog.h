// SPDX-License-Identifier: Apache-2.0
#pragma once

// The window's change of many devices, in three steps: a preview of every field as loaded and new with
// the refusals named, nothing sent before Apply; the run, with its progress and Cancel; the results.
// The backup of what the change would change is written before anything is sent. Change Settings and
// Number Devices first ask what to set, by role or tag, templates allowed; Apply Plan and Undo Last
// Change preview a plan at once.

#include "bulkchange.h"

#include <QDialog>
#include <QString>

#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTableWidget;
class QVBoxLayout;

namespace lv {

class RunOptions;
class SecretMask;
struct SessionState;

class BulkDialog final : public QDialog {
    Q_OBJECT
public:
    enum class Kind { ChangeSettings, NumberDevices, CopySettings, ApplyPlan, Undo };

    // The caption of the dialog (and the menu entry it comes from), without the count.
    static QString title(Kind kind);

    // `plan` for ApplyPlan and Undo; the others make theirs from what is typed, for every device of
    // `devices`, starting from the `changes` given. `backupPath` is where the backup goes unless the
    // operator names another.
    BulkDialog(Kind kind, SessionState& state, SecretMask& mask, FoundDevices devices, std::optional<Plan> plan,
               SetEntries changes, BulkSettings settings, QString backupPath, QWidget* parent = nullptr);
    ~BulkDialog() override;

    // The change once Apply was pressed; null before.
    const BulkChange* change() const { return m_change.get(); }
    // Where the backup was written; empty when nothing was sent.
    QString backupWritten() const { return m_backupWritten; }

Q_SIGNALS:
    // Each device that ended in the run, for the main window's lines and message log.
    void deviceEnded(const lv::DeviceOutcome& outcome);

protected:
    void reject() override;

private:
    QVBoxLayout* addPage();
    void addButtonRow(QVBoxLayout* layout, QPushButton* own, void (QDialog::*closed)());
    void buildEditPage(const SetEntries& changes);
    void buildPreviewPage();
    void buildRunPage();
    void buildResultsPage();
    void addChange();
    void startPreview();
    void showPreview();
    void startRun();
    void showProgress();
    void showResults();
    Plan typedPlan() const;

    Kind m_kind;
    SessionState& m_state;
    SecretMask& m_mask;
    FoundDevices m_devices;
    std::optional<Plan> m_plan;
    BulkSettings m_settings;
    std::unique_ptr<BulkChange> m_preview;
    std::unique_ptr<BulkChange> m_change;
    QString m_backupWritten;

    QStackedWidget* m_pages = nullptr;
    struct {
        QComboBox* field = nullptr;
        QLineEdit* value = nullptr;
        QTableWidget* changes = nullptr;
        QPushButton* preview = nullptr;
    } m_edit; // what to set
    struct {
        QTableWidget* table = nullptr;
        QLabel* note = nullptr;
        QPushButton* apply = nullptr;
    } m_previewPage;
    RunOptions* m_options = nullptr;
    struct {
        QProgressBar* progress = nullptr;
        QLabel* counts = nullptr;
        QPushButton* cancel = nullptr;
        QPlainTextEdit* text = nullptr; // the results, on a page of their own
        QPushButton* close = nullptr;
    } m_runPage;
};

} // namespace lv
