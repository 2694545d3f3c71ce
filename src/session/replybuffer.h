#pragma once

// ReplyBuffer and ReplyComplete: every datagram received on the command socket
// since the buffer was last emptied, joined in arrival order, and the mark that
// the gathered text holds "MAC".

#include <QObject>

#include <cstddef>
#include <string>

namespace lv {

class ReplyBuffer final : public QObject {
    Q_OBJECT
public:
    // A real reply is a few KB. Past this bound further datagrams are not kept,
    // so a flood cannot grow memory while a wait is under way.
    static constexpr std::size_t kMaxBytes = 256 * 1024;

    explicit ReplyBuffer(QObject* parent = nullptr) : QObject(parent) {}

    void clear();
    void append(const QByteArray& datagram);

    const std::string& text() const { return m_text; }
    bool complete() const { return m_complete; }

Q_SIGNALS:
    void completed();

private:
    std::string m_text;
    bool m_complete = false;
};

} // namespace lv
