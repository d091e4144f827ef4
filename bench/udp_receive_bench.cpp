// What counting the system's drops costs per datagram: the port's receive (recvmsg with a
// control buffer on the stack, the drop count taken from the control message) beside a plain
// recvfrom on a socket without SO_RXQ_OVFL, as the port received before it counted drops.
//
//   orvalix_bench_udp_receive
//
// Each iteration sends one 64-byte datagram over loopback and receives it, so both sides carry
// the same send; the difference between the two is the receive's. BM_PortReceive/dropped:1
// first overflows the socket's buffer, so that every datagram then brings the control message.
// Counter allocs_per_datagram must stay 0: the service reads datagrams on its hot path.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "allocation_counter.hpp"
#include "core/ports/udp_socket.hpp"

namespace {

using orvalix::SocketAddress;
using orvalix::UdpSocket;

constexpr std::uint32_t kLoopback = 0x7F000001;

std::array<std::uint8_t, 64> datagram{};
std::array<std::uint8_t, 16384> buffer{};

void BM_PlainRecvfrom(benchmark::State& state) {
    UdpSocket sender = UdpSocket::bind(kLoopback, 0).opened.value();
    const int receiver = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(kLoopback);
    socklen_t length = sizeof local;
    if (::bind(receiver, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::getsockname(receiver, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        state.SkipWithError("no loopback socket");
        return;
    }
    const SocketAddress to = orvalix::ipv4SocketAddress(kLoopback, ntohs(local.sin_port));
    for (auto _ : state) {
        sender.send(datagram, to);
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        benchmark::DoNotOptimize(::recvfrom(receiver, buffer.data(), buffer.size(), 0,
                                            reinterpret_cast<sockaddr*>(&from), &fromLength));
    }
    ::close(receiver);
}

void BM_PortReceive(benchmark::State& state) {
    UdpSocket sender = UdpSocket::bind(kLoopback, 0).opened.value();
    UdpSocket receiver = UdpSocket::bind(kLoopback, 0).opened.value();
    const SocketAddress to = orvalix::ipv4SocketAddress(kLoopback, receiver.localPort());
    SocketAddress from;
    if (state.range(0) != 0) {
        // Nobody reads meanwhile: the buffer fills and the rest are dropped.
        for (int n = 0; n < 5000; ++n) sender.send(datagram, to);
        while (receiver.readable()) receiver.receive(buffer, from);
        sender.send(datagram, to);
        receiver.receive(buffer, from);
        if (receiver.droppedDatagrams() == 0) {
            state.SkipWithError("the system dropped nothing");
            return;
        }
    }
    const std::uint64_t allocationsBefore = orvalix::bench::allocationCount();
    for (auto _ : state) {
        sender.send(datagram, to);
        benchmark::DoNotOptimize(receiver.receive(buffer, from));
    }
    state.counters["allocs_per_datagram"] =
        static_cast<double>(orvalix::bench::allocationCount() - allocationsBefore) /
        static_cast<double>(state.iterations());
    state.counters["dropped"] = receiver.droppedDatagrams();
}

BENCHMARK(BM_PlainRecvfrom);
BENCHMARK(BM_PortReceive)->ArgName("dropped")->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
