// SPDX-License-Identifier: Apache-2.0
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
    m_holdsMac = false;
    m_macItem = false;
    m_waiting = false;
    m_complete = false;
    m_configuration = false;
    m_gathering = false;
    m_expected.reset();
    m_foreign = 0;
    m_beforeStart = 0;
    m_settle.stop();
}

void ReplyBuffer::expectConfiguration(std::string_view macField)
{
    clear();
    m_configuration = true;
    m_expected = MacAddress::fromField(macField, MacAddress::FieldDigits::UpToThree);
}

void ReplyBuffer::keepGathering()
{
    m_gathering = true;
}

void ReplyBuffer::append(const QByteArray& datagram)
{
    if (m_gathering) {
        if (m_text.size() + static_cast<std::size_t>(datagram.size()) > kMaxBytes)
            return;
        m_text.append(datagram.constData(), static_cast<std::size_t>(datagram.size()));
        Q_EMIT grown();
        return;
    }
    if (m_complete)
        return;
    // Every reply starts with "A": a stray datagram before it can neither spoil it nor fill the buffer.
    if (m_text.empty() && (datagram.isEmpty() || datagram.front() != 'A')) {
        ++m_beforeStart;
        return;
    }
    if (m_text.size() + static_cast<std::size_t>(datagram.size()) > kMaxBytes)
        return;
    const std::size_t before = m_text.size();
    m_text.append(datagram.constData(), static_cast<std::size_t>(datagram.size()));
    // Only the datagram and the two characters before it can bring a "MAC" the text did not hold, so a
    // reply gathered from many datagrams is not searched again from its start for every one of them.
    if (!m_holdsMac)
        m_holdsMac = m_text.find("MAC", before < 2 ? 0 : before - 2) != std::string::npos;
    if (!m_holdsMac)
        return;
    if (!m_configuration) {
        finish();
        return;
    }
    // A whole reply names the device and its model; until both are there, more datagrams may follow.
    // While it waits, the test is made again only when the datagram can change its outcome. The
    // MacAddress item, once there, stays what it is (both tags are the first ones), and every tag ends
    // with ">", so without one the item cannot appear. A "MODEL: " inside an item stays inside one
    // whatever follows, so only a "MODEL: " that ends inside the datagram can be a new one outside.
    const std::size_t modelFrom = before < kModelMarker.size() - 1 ? 0 : before - (kModelMarker.size() - 1);
    const bool retest =
        !m_waiting || (m_macItem ? m_text.find(kModelMarker, modelFrom) != std::string::npos : datagram.contains('>'));
    if (retest && !m_macItem)
        m_macItem = GetTagValue(m_text, kMacAddressTag).present;
    if (retest && m_macItem && findOutsideItems(m_text, kModelMarker) != std::string::npos) {
        m_waiting = false;
        settle();
    } else {
        m_waiting = true;
        m_settle.start(kSettleMs);
    }
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
            m_holdsMac = false;
            m_macItem = false;
            m_waiting = false;
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
