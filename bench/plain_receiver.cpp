// SPDX-License-Identifier: Apache-2.0
// The physical baseline of bench_discovery: a receiver in plain POSIX calls
// and nothing else. It sends the search probe and only counts the datagrams
// that come back, until it has the number expected or the deadline passed.
//   bench_plain_receiver PORT EXPECT DEADLINE_MS RCVBUF_BYTES
// Prints one JSON line: received, lastAnswerMs, searchCpuS, peakRssMb.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

long long monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double peakResidentMb()
{
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    char line[256];
    double kb = 0;
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, "VmHWM:", 6) == 0)
            kb = std::atof(line + 6);
    std::fclose(status);
    return kb / 1024.0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench_plain_receiver PORT EXPECT DEADLINE_MS RCVBUF_BYTES\n");
        return 1;
    }
    const int port = std::atoi(argv[1]);
    const int expect = std::atoi(argv[2]);
    const long long deadlineMs = std::atoll(argv[3]);
    const int size = std::atoi(argv[4]);

    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<unsigned short>(port));
    ::inet_pton(AF_INET, "127.255.255.255", &to.sin_addr);

    static const char probe[] = "X 99.130.83.99";
    const double cpu0 = cpuSeconds();
    const long long probeNs = monotonicNs();
    ::sendto(fd, probe, sizeof probe - 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    int count = 0;
    long long lastNs = probeNs;
    static char buffer[65536];
    while (count < expect) {
        const long long left = deadlineMs - (monotonicNs() - probeNs) / 1000000;
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        while (::recv(fd, buffer, sizeof buffer, 0) >= 0) {
            ++count;
            lastNs = monotonicNs();
        }
    }
    std::printf("{\"received\":%d,\"lastAnswerMs\":%.3f,\"searchCpuS\":%.6f,\"peakRssMb\":%.1f}\n", count,
                double(lastNs - probeNs) / 1e6, cpuSeconds() - cpu0, peakResidentMb());
    ::close(fd);
    return 0;
}
