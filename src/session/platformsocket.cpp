// SPDX-License-Identifier: Apache-2.0
// Batched datagram reads, the forced receive buffer and the tie to one device:
// recvmmsg, SO_RCVBUFFORCE, SO_BINDTODEVICE and the drop count of SO_MEMINFO on Linux, nothing elsewhere
// (the caller reads through Qt).

#include "platformsocket.h"

#if defined(Q_OS_LINUX)
#include <arpa/inet.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#endif

namespace lv {

#if defined(Q_OS_LINUX)

namespace {

// Large enough for any UDP datagram over IPv4. Only the pages a datagram
// touches become resident, so the reserve costs address space, not memory.
constexpr std::size_t kSlotBytes = 65536;

} // namespace

struct DatagramBatch::Storage {
    std::unique_ptr<char[]> bytes = std::make_unique_for_overwrite<char[]>(kSlotBytes * kCapacity);
    mmsghdr headers[kCapacity] = {};
    iovec vectors[kCapacity] = {};
    sockaddr_in senders[kCapacity] = {};
    alignas(cmsghdr) char control[kCapacity][CMSG_SPACE(sizeof(in_pktinfo))] = {};
    BatchDatagram out[kCapacity];
};

DatagramBatch::DatagramBatch() : m_storage(std::make_unique<Storage>()) {}

DatagramBatch::~DatagramBatch() = default;

bool DatagramBatch::available()
{
    return true;
}

int DatagramBatch::read(qintptr descriptor)
{
    Storage& s = *m_storage;
    for (int i = 0; i < kCapacity; ++i) {
        s.vectors[i].iov_base = s.bytes.get() + static_cast<std::size_t>(i) * kSlotBytes;
        s.vectors[i].iov_len = kSlotBytes;
        msghdr& h = s.headers[i].msg_hdr;
        h.msg_name = &s.senders[i];
        h.msg_namelen = sizeof s.senders[i];
        h.msg_iov = &s.vectors[i];
        h.msg_iovlen = 1;
        h.msg_control = s.control[i];
        h.msg_controllen = sizeof s.control[i];
        h.msg_flags = 0;
    }
    int got = 0;
    do {
        got = ::recvmmsg(static_cast<int>(descriptor), s.headers, kCapacity, MSG_DONTWAIT, nullptr);
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
    for (int i = 0; i < got; ++i) {
        const msghdr& h = s.headers[i].msg_hdr;
        BatchDatagram& d = s.out[i];
        d.data = static_cast<const char*>(s.vectors[i].iov_base);
        d.size = static_cast<qsizetype>(std::min<std::size_t>(s.headers[i].msg_len, kSlotBytes));
        d.senderIPv4 = s.senders[i].sin_family == AF_INET ? ntohl(s.senders[i].sin_addr.s_addr) : 0;
        d.senderPort = ntohs(s.senders[i].sin_port);
        d.interfaceIndex = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&h); c; c = CMSG_NXTHDR(const_cast<msghdr*>(&h), c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                d.interfaceIndex = info.ipi_ifindex;
            }
        }
    }
    return got;
}

const BatchDatagram& DatagramBatch::at(int i) const
{
    return m_storage->out[i];
}

bool forceReceiveBuffer(qintptr descriptor, int bytes)
{
    return ::setsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0;
}

bool bindToDevice(qintptr descriptor, const QByteArray& name)
{
    return ::setsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_BINDTODEVICE, name.constData(),
                        static_cast<socklen_t>(name.size())) == 0;
}

void enablePacketInformation(qintptr descriptor)
{
    const int on = 1;
    ::setsockopt(static_cast<int>(descriptor), IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
}

qint64 droppedDatagrams(qintptr descriptor)
{
    std::uint32_t info[SK_MEMINFO_VARS] = {};
    socklen_t size = sizeof info;
    if (::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_MEMINFO, info, &size) != 0 ||
        size < static_cast<socklen_t>((SK_MEMINFO_DROPS + 1) * sizeof info[0]))
        return -1;
    return info[SK_MEMINFO_DROPS];
}

#else

struct DatagramBatch::Storage {
    BatchDatagram none;
};

DatagramBatch::DatagramBatch() : m_storage(std::make_unique<Storage>()) {}

DatagramBatch::~DatagramBatch() = default;

bool DatagramBatch::available()
{
    return false;
}

int DatagramBatch::read(qintptr)
{
    return -1;
}

const BatchDatagram& DatagramBatch::at(int) const
{
    return m_storage->none;
}

bool forceReceiveBuffer(qintptr, int)
{
    return false;
}

bool bindToDevice(qintptr, const QByteArray&)
{
    return false;
}

void enablePacketInformation(qintptr) {}

qint64 droppedDatagrams(qintptr)
{
    return -1;
}

#endif

} // namespace lv
