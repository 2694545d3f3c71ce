#include "devicesearch.h"

#include "tagmessage.h"

namespace lv {

DeviceSearch::DeviceSearch(SessionState& state, QObject* parent) : QObject(parent), m_state(state), m_socket(this)
{
    connect(&m_socket, &UdpSocket::dataArrival, this, &DeviceSearch::onDatagram);
    connect(&m_socket, &UdpSocket::batchEnded, this, &DeviceSearch::flushAdded);
}

bool DeviceSearch::start()
{
    m_devices.clear();
    m_firstUnsignalled = -1;
    Q_EMIT cleared();
    m_socket.setRemoteHost(m_state.broadcast);
    m_socket.setRemotePort(m_state.cmdPort());
    return m_socket.sendData(QByteArray(kSearchProbe.data(), static_cast<qsizetype>(kSearchProbe.size())));
}

void DeviceSearch::setLine(int index, const std::string& line)
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_devices.size())
        return;
    m_devices.setLine(static_cast<std::size_t>(index), line);
    Q_EMIT lineChanged(index);
}

void DeviceSearch::setRaw(int index, const std::string& raw)
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_devices.size())
        return;
    m_devices.setRaw(static_cast<std::size_t>(index), raw);
}

void DeviceSearch::onDatagram(const QByteArray& datagram)
{
    const int index = m_devices.add(std::string_view(datagram.constData(), static_cast<std::size_t>(datagram.size())));
    if (index < 0)
        return;
    if (m_firstUnsignalled < 0)
        m_firstUnsignalled = index;
    Q_EMIT deviceAdded(index);
}

void DeviceSearch::flushAdded()
{
    if (m_firstUnsignalled < 0)
        return;
    const int first = m_firstUnsignalled;
    m_firstUnsignalled = -1;
    Q_EMIT devicesAdded(first, static_cast<int>(m_devices.size()) - 1);
}

} // namespace lv
