// SPDX-License-Identifier: Apache-2.0
// The message log and its window.

#include "messagelog.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QListView>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace lv {

MessageLog::MessageLog(QObject* parent) : QAbstractListModel(parent) {}

void MessageLog::add(Entry entry)
{
    if (m_entries.size() >= static_cast<std::size_t>(kMaxLines)) {
        beginRemoveRows({}, 0, 0);
        m_entries.pop_front();
        endRemoveRows();
    }
    const int row = static_cast<int>(m_entries.size());
    beginInsertRows({}, row, row);
    m_entries.push_back(std::move(entry));
    endInsertRows();
}

QString MessageLog::lineOf(const Entry& entry)
{
    // An outcome of no one device keeps the column with a dash, so the texts stand under each other.
    return QStringLiteral("%1  %2  %3")
        .arg(entry.time.toString(QStringLiteral("HH:mm:ss")),
             entry.device.isEmpty() ? QStringLiteral("%1").arg(QLatin1Char('-'), -17) : entry.device, entry.text);
}

int MessageLog::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QVariant MessageLog::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Entry& entry = m_entries[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return lineOf(entry);
    case Qt::ToolTipRole:
        return entry.time.toString(Qt::ISODate);
    default:
        return {};
    }
}

MessagesWindow::MessagesWindow(MessageLog& log, QWidget* parent) : QDialog(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmMessages"));
    setWindowTitle(QStringLiteral("Messages"));
    setAccessibleName(QStringLiteral("Messages"));
    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("lstMessages"));
    m_list->setAccessibleName(QStringLiteral("Messages"));
    m_list->setAccessibleDescription(QStringLiteral("Every outcome since the program started, newest last: time, "
                                                    "device, what happened"));
    m_list->setModel(&log);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setUniformItemSizes(true);
    m_list->setTextElideMode(Qt::ElideNone);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* copy = new QAction(QStringLiteral("&Copy"), m_list);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &MessagesWindow::copySelection);
    m_list->addAction(copy);
    m_list->setContextMenuPolicy(Qt::ActionsContextMenu);
    // The list's own Ctrl+C copies the current line only: every selected line is copied.
    m_list->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    // The newest line stays in sight while the operator has not scrolled up.
    connect(&log, &QAbstractItemModel::rowsInserted, this, [this] {
        QScrollBar* bar = m_list->verticalScrollBar();
        if (bar->value() >= bar->maximum() - 1)
            m_list->scrollToBottom();
    });
    resize(fontMetrics().averageCharWidth() * 100, fontMetrics().height() * 20);
}

bool MessagesWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copySelection();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

QString MessagesWindow::selectedText() const
{
    QModelIndexList rows = m_list->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (const QModelIndex& row : rows)
        lines << row.data().toString();
    return lines.join(QLatin1Char('\n'));
}

void MessagesWindow::copySelection() const
{
    if (const QString text = selectedText(); !text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

} // namespace lv
