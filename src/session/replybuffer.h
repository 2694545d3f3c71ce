// SPDX-License-Identifier: Apache-2.0
#pragma once

// ReplyBuffer and ReplyComplete: every datagram received on the command socket since the buffer was
// last emptied, joined in arrival order, and the mark that the gathered text holds "MAC".

#include "macaddress.h"

#include <QObject>
#include <QTimer>

#include <cstddef>
#include <optional>
#include <string>

namespace lv {

class ReplyBuffer final : public QObject {
    Q_OBJECT
public:
    // A real reply is a few KB. Past this bound further datagrams are not kept, so a flood cannot
    // grow memory while a wait is under way.
    static constexpr std::size_t kMaxBytes = 256 * 1024;
    // How long a configuration reply that holds "MAC" but not yet its MacAddress item and its model
    // may take to bring the rest: a reply cut into several datagrams can carry "MAC" in its first one.
    static constexpr int kSettleMs = 250;

    explicit ReplyBuffer(QObject* parent = nullptr);

    // Empties the buffer for any exchange (an Update's answer is complete on "MAC").
    void clear();
    // Empties the buffer for a configuration request to the device whose MAC field is `macField`:
    // a reply whose MacAddress names another device is not taken, and a reply is complete when it
    // holds "MAC", its MacAddress item and "MODEL: " (or kSettleMs after the last datagram).
    void expectConfiguration(std::string_view macField);

    void append(const QByteArray& datagram);
    // After a completed configuration reply that lacks items its window reads: every further
    // datagram is appended as it comes (within the bound) and signalled by grown(), until clear().
    void keepGathering();

    const std::string& text() const { return m_text; }
    bool complete() const { return m_complete; }
    // Replies set aside since the last clear because they named another device.
    int foreignReplies() const { return m_foreign; }
    // Datagrams set aside since the last clear because they came before any that starts with "A": with
    // a reply started after them, the device sent a later piece of its reply before its first.
    int datagramsBeforeStart() const { return m_beforeStart; }

Q_SIGNALS:
    void completed();
    void foreignReply();
    void grown();

private:
    void finish();
    void settle();

    std::string m_text;
    bool m_holdsMac = false; // m_text holds "MAC"
    bool m_macItem = false;  // m_text holds the MacAddress item
    bool m_waiting = false;  // a configuration reply with "MAC" that lacked its MacAddress item or model
    bool m_complete = false;
    bool m_configuration = false;
    bool m_gathering = false;
    std::optional<MacAddress> m_expected;
    int m_foreign = 0;
    int m_beforeStart = 0;
    QTimer m_settle;
};

} // namespace lv
