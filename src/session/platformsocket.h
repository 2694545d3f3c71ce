// SPDX-License-Identifier: Apache-2.0
#pragma once

// The one place that reaches past Qt to the operating system's socket calls:
// reading a burst of datagrams in few system calls, and a receive buffer beyond
// the system's default cap. Everything has a portable fallback, so a platform
// without these calls still builds and runs on Qt alone.
//
// On Windows the fallbacks are the whole story, and enough: Qt reads each
// datagram with its interface (WSARecvMsg with IP_PKTINFO); a socket bound to a
// card's own address sends the limited broadcast out of that card and takes
// the answers that come back to it; and the receive buffer Qt asks for has no
// system cap to force past.

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <memory>

namespace lv {

// One datagram read by a batch: its bytes lie in the batch's own storage until
// the next read.
struct BatchDatagram {
    const char* data = nullptr;
    qsizetype size = 0;
    quint32 senderIPv4 = 0; // host byte order
    quint16 senderPort = 0;
    int interfaceIndex = 0; // 0 when the system did not say
};

class DatagramBatch final {
public:
    // Room for this many datagrams per read.
    static constexpr int kCapacity = 64;

    DatagramBatch();
    ~DatagramBatch();
    DatagramBatch(const DatagramBatch&) = delete;
    DatagramBatch& operator=(const DatagramBatch&) = delete;

    // True where read() can take several datagrams in one system call.
    static bool available();

    // Takes the datagrams queued on the descriptor, up to kCapacity, without
    // waiting. Returns how many were taken (0 when none was queued), or -1 when
    // batches are not available or the read failed.
    int read(qintptr descriptor);
    const BatchDatagram& at(int i) const;

private:
    struct Storage;
    std::unique_ptr<Storage> m_storage;
};

// Asks for a receive buffer of `bytes` past the system's cap (net.core.rmem_max
// on Linux), which only a privileged process may do. False where that is not
// possible; the buffer then stays as Qt's own socket option set it.
bool forceReceiveBuffer(qintptr descriptor, int bytes);

// Ties the socket to one network device by name (SO_BINDTODEVICE on Linux), so
// what it sends leaves there, broadcasts included, and only what comes in there
// reaches it. False where the system has no such call or refused it; the caller
// then binds to the interface's address instead.
bool bindToDevice(qintptr descriptor, const QByteArray& name);

// Asks the system to tell, with every datagram, the interface it came in on.
void enablePacketInformation(qintptr descriptor);

// How many datagrams the system dropped for this socket because its receive buffer was full
// (SO_MEMINFO on Linux), since the socket was opened; -1 where the system does not tell.
qint64 droppedDatagrams(qintptr descriptor);

} // namespace lv
