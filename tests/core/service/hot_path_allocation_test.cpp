// Counts the heap allocations of whole cycles: the cycle path must make none once a run has
// seen its names (the first cycles may add names-table and store entries).

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "service_test_support.hpp"

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* allocate(std::size_t size) {
    if (counting.load(std::memory_order_relaxed)) {
        allocations.fetch_add(1, std::memory_order_relaxed);
    }
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

void* operator new(std::size_t size) {
    if (void* p = allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace orvalix {
namespace {

using test::Bytes;
using test::frame;
using test::named;
using test::step;

// A serial port at 921,600 bit/s delivers about 922 bytes per cycle: 16 named conditions and
// 16 steps each, answered with a checksummed frame every eighth byte; a UDP port beside it.
// 920 bytes keep every frame starting alike, so no cycle counted meets a name for the first time.
TEST(HotPath, CyclesAllocateNothingOnceTheRunHasSeenItsNames) {
    test::Rig rig;
    rig.keepPushes = false;
    rig.setFrames({{u"Reply", frame({"0x02", "R[0]", "R[7]", "CRC_CCITT1(T, 0, 3)", "", "0x03"})}});

    std::vector<NamedCondition> conditions;
    std::vector<SequenceStep> steps;
    for (int i = 0; i < 16; ++i) {
        const std::string n = std::to_string(i);
        conditions.push_back(named("N" + n, "R[0] == " + n, "R[1] == " + n, "SUM(R, 0, 2) == " + n));
        // Steps fall through to the last, which goes back to the top: all 16 are evaluated per byte.
        steps.push_back(step("R[7] == " + n, "Reply", i == 15 ? "Top" : "", i == 15 ? "1" : "0"));
    }
    steps.front().cells[0] = u"Top";
    test::FakePort& serial = rig.add(u"S", test::serialEnvironment(20, steps, conditions));
    test::FakePort& udp = rig.add(u"U", test::udpEnvironment({step("R[0] >= 0", "Reply", "Top", "", "Top")}, conditions));
    serial.keepWrites = false;
    udp.keepWrites = false;
    rig.start();

    Bytes burst(920);
    for (std::size_t i = 0; i < burst.size(); ++i) {
        burst[i] = static_cast<std::uint8_t>(i % 16);
    }
    for (int cycle = 0; cycle < 4; ++cycle) {
        serial.incoming.push_back(burst);
        udp.incoming.push_back(Bytes(100, 1));
    }
    rig.cycle();
    rig.cycle();

    counting = true;
    rig.cycle();
    rig.cycle();
    rig.cycle(5 * test::kCycle);  // nothing comes: the serial frame times out
    rig.cycle();
    counting = false;

    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GT(serial.writeCount, 100u);
    EXPECT_GT(rig.pushCount, 200u);
}

}  // namespace
}  // namespace orvalix
