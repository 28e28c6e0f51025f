#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "serial/SendPaced.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"

namespace zk4 {
namespace {

constexpr std::uint32_t kTop = 0xFFFFFFFFu;

TEST(SteadyClock, CountsMillisecondsOfTheSteadyClock) {
    using namespace std::chrono;
    const auto ms = [] {
        return static_cast<std::uint32_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
    const std::uint32_t before = ms();
    const std::uint32_t reading = SteadyClock().TimeGetTime();
    EXPECT_LE(reading - before, ms() - before);  // modulo 2^32, within [before, after]
}

// The counter may move between readings (step) or while the thread naps (napStep), in steps
// of one or coarser: either way the wait ends at the first reading of start + ms or beyond, or
// below start (the counter wrapped, also during a nap), at once when start + ms wraps past
// zero, and naps between every two readings instead of spinning.
TEST(WaitMilliseconds, EndsAtStartPlusMsOrWhenTheCounterWraps) {
    struct Case {
        std::uint32_t start, ms, step, napStep;
        std::uint32_t last;  // the reading that ends the wait
        int reads;           // the start reading included
    };
    const std::vector<Case> cases = {
        {1000, 15, 1, 0, 1015, 16},       {1000, 15, 0, 1, 1015, 17},
        {1000, 2, 0, 3, 1003, 3},         {1000, 15, 2, 3, 1017, 5},
        {kTop - 15, 15, 1, 0, kTop, 16},  {kTop - 14, 15, 1, 0, kTop - 13, 2},
        {kTop - 1, 2, 0, 1, kTop - 1, 2}, {kTop, 5, 1, 0, 0, 2},
        {kTop - 3, 2, 0, 4, 0, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + " + " + std::to_string(c.ms));
        test::FakeClock clock(c.start, c.step, c.napStep);
        WaitMilliseconds(clock, c.ms);
        EXPECT_EQ(clock.last, c.last);
        EXPECT_EQ(clock.reads, c.reads);
        EXPECT_EQ(clock.naps, c.reads - 2);
    }
}

// One byte per write, each followed by the two-step wait, the last one too; a line feed before
// the end does not end the line; a refused write ends it at once, without a pause.
TEST(SendPaced, WritesEachByteAloneThenWaitsTwoCounterSteps) {
    for (const bool open : {true, false}) {
        const std::string line = "AB\nCD\r\n";
        test::FakeClock clock(5000, 1);
        test::FakeSerialPort port(&clock);
        port.open = open;
        try {
            SendPaced(port, clock, reinterpret_cast<const std::uint8_t*>(line.data()),
                      static_cast<std::uint8_t>(line.size()));
        } catch (const SerialError&) {  // only the closed port refuses, and no pause follows
            EXPECT_FALSE(open);
            EXPECT_EQ(clock.reads, 0);
        }
        const std::size_t sent = open ? line.size() : 0;
        EXPECT_EQ(port.WrittenText(), line.substr(0, sent));
        ASSERT_EQ(port.writeCalls, static_cast<int>(sent));  // one byte per write
        for (std::size_t i = 0; i < sent; ++i) {  // t0, t0 + 1, t0 + 2: three readings each
            const std::uint32_t next = i + 1 < sent ? port.written[i + 1].at : clock.now;
            EXPECT_EQ(next - port.written[i].at, 3u) << "byte " << i;
        }
    }
}

}  // namespace
}  // namespace zk4
