// ReplyBuffer: datagrams joined in arrival order, and the completion mark.

#include "replybuffer.h"

#include "tagmessage.h"

namespace lv {

ReplyBuffer::ReplyBuffer(QObject* parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, &ReplyBuffer::settle);
}

void ReplyBuffer::clear()
{
    m_text.clear();
    m_complete = false;
    m_configuration = false;
    m_expected.reset();
    m_foreign = 0;
    m_settle.stop();
}

void ReplyBuffer::expectConfiguration(std::string_view macField)
{
    clear();
    m_configuration = true;
    m_expected = MacAddress::fromField(macField, MacAddress::FieldDigits::UpToThree);
}

void ReplyBuffer::append(const QByteArray& datagram)
{
    if (m_complete)
        return;
    // Every reply starts with "A": a stray datagram before it can neither spoil it nor fill the buffer.
    if (m_text.empty() && (datagram.isEmpty() || datagram.front() != 'A'))
        return;
    if (m_text.size() + static_cast<std::size_t>(datagram.size()) > kMaxBytes)
        return;
    m_text.append(datagram.constData(), static_cast<std::size_t>(datagram.size()));
    if (!replyHoldsMac(m_text))
        return;
    if (!m_configuration) {
        finish();
        return;
    }
    // A whole reply names the device and its model; until both are there, more datagrams may follow.
    if (GetTagValue(m_text, kMacAddressTag).present && findOutsideItems(m_text, kModelMarker) != std::string::npos)
        settle();
    else
        m_settle.start(kSettleMs);
}

void ReplyBuffer::settle()
{
    if (m_complete)
        return;
    m_settle.stop();
    // A reply whose MacAddress names another device than the one asked is another device's answer:
    // it is set aside and the wait goes on. A MacAddress in another form is taken as it is.
    const TagValue mac = GetTagValue(m_text, kMacAddressTag);
    if (m_expected && mac.present) {
        const std::optional<MacAddress> named = MacAddress::fromDeviceText(mac.value);
        if (named && *named != *m_expected) {
            m_text.clear();
            ++m_foreign;
            Q_EMIT foreignReply();
            return;
        }
    }
    finish();
}

void ReplyBuffer::finish()
{
    m_complete = true;
    Q_EMIT completed();
}

} // namespace lv
