// ReplyBuffer: datagrams joined in arrival order, and the completion mark.

#include "replybuffer.h"

#include "tagmessage.h"

namespace lv {

void ReplyBuffer::clear()
{
    m_text.clear();
    m_complete = false;
}

void ReplyBuffer::append(const QByteArray& datagram)
{
    if (m_text.size() + static_cast<std::size_t>(datagram.size()) > kMaxBytes)
        return;
    m_text.append(datagram.constData(), static_cast<std::size_t>(datagram.size()));
    if (!m_complete && replyHoldsMac(m_text)) {
        m_complete = true;
        Q_EMIT completed();
    }
}

} // namespace lv
