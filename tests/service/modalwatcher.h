// SPDX-License-Identifier: Apache-2.0
#pragma once

// Drives a modal window that the code under test opens with exec(): polls for
// the active modal window of a given objectName and runs an action on it once.
// A modal window still open when the watch ends unanswered is rejected, so a
// failing test cannot hang in exec().

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <functional>

class ModalWatcher {
public:
    ModalWatcher(QString name, std::function<void(QWidget*)> action, int timeoutMs = 5000)
        : m_name(std::move(name)), m_action(std::move(action)), m_timeoutMs(timeoutMs)
    {
        m_elapsed.start();
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { poll(); });
        m_timer.start();
    }
    ~ModalWatcher() { m_timer.stop(); }
    ModalWatcher(const ModalWatcher&) = delete;
    ModalWatcher& operator=(const ModalWatcher&) = delete;

    bool fired() const { return m_fired; }

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible() && modal->objectName() == m_name) {
            m_timer.stop();
            m_fired = true;
            m_action(modal);
            return;
        }
        if (m_elapsed.elapsed() > m_timeoutMs) {
            m_timer.stop();
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
        }
    }

    QString m_name;
    std::function<void(QWidget*)> m_action;
    int m_timeoutMs;
    QTimer m_timer;
    QElapsedTimer m_elapsed;
    bool m_fired = false;
};
