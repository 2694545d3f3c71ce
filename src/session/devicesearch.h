#pragma once

// The device search: one probe broadcast on the command port, every answer
// listed as it arrives until the next search. Each new device is signalled on
// its own (deviceAdded) and, once per read of the socket, together with the
// others that came in the same turn (devicesAdded), so a list can take a burst
// of answers in one insertion.

#include "devicelist.h"
#include "sessionstate.h"
#include "udpsocket.h"

#include <QObject>

namespace lv {

class DeviceSearch final : public QObject {
    Q_OBJECT
public:
    explicit DeviceSearch(SessionState& state, QObject* parent = nullptr);

    // Clears the list and sends the probe. False when the probe could not be sent.
    bool start();

    const DeviceList& devices() const { return m_devices; }
    // Rewrites of a listed device (after an update or a MAC change).
    void setLine(int index, const std::string& line);
    void setRaw(int index, const std::string& raw);

    UdpSocket& socket() { return m_socket; }

Q_SIGNALS:
    void cleared();
    void deviceAdded(int index);
    // The devices first..last (inclusive) were added since the last such signal.
    void devicesAdded(int first, int last);
    void lineChanged(int index);

private:
    void onDatagram(const QByteArray& datagram);
    void flushAdded();

    SessionState& m_state;
    UdpSocket m_socket;
    DeviceList m_devices;
    int m_firstUnsignalled = -1; // first index not yet in a devicesAdded signal
};

} // namespace lv
