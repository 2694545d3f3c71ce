// SPDX-License-Identifier: Apache-2.0
#pragma once

// The message log: every outcome the main window reported since the program started (search
// results, opened and closed windows, updates, checks, MAC changes, failures), one line each with
// its time and the device's MAC text, newest last. The status bar shows only the latest, so an
// outcome that comes while the operator looks elsewhere is kept here. Held in memory for the run,
// the last kMaxLines lines.

#include <QAbstractListModel>
#include <QDateTime>
#include <QDialog>

#include <deque>

class QListView;

namespace lv {

class MessageLog final : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int kMaxLines = 10000;

    struct Entry {
        QDateTime time;
        QString device; // MAC text; empty: no one device
        QString text;
        bool problem = false; // a failure or a mismatch
    };

    explicit MessageLog(QObject* parent = nullptr);

    void add(Entry entry);
    const std::deque<Entry>& entries() const { return m_entries; }
    // One line as the log lists and copies it.
    static QString lineOf(const Entry& entry);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::deque<Entry> m_entries;
};

// The "Messages" window over a log: its lines can be selected and copied (Ctrl+C or the context menu).
class MessagesWindow final : public QDialog {
    Q_OBJECT
public:
    MessagesWindow(MessageLog& log, QWidget* parent);

    QListView* list() const { return m_list; }
    // The selected lines, one a line, in the log's order.
    QString selectedText() const;
    void copySelection() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QListView* m_list = nullptr;
};

} // namespace lv
