#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/SendPaced.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"

namespace zk4 {
namespace {

constexpr std::uint32_t kTop = 0xFFFFFFFFu;

// The counter moves per reading (step) or per nap (napStep): the wait ends at the first reading
// of start + ms or beyond, or below start (the counter wrapped), at once when start + ms wraps
// past zero, and naps between every two readings. The two-step pause is the ms = 2 rows.
TEST(WaitMilliseconds, EndsAtStartPlusMsOrWhenTheCounterWraps) {
    struct Case {
        std::uint32_t start, ms, step, napStep;
        std::uint32_t last;  // the reading that ends the wait
        int reads;           // the start reading included
    };
    const std::vector<Case> cases = {
        {1000, 2, 1, 0, 1002, 3},         {1000, 15, 0, 1, 1015, 17},
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

// A line feed before the end does not end the line; a refused write ends it without a pause.
TEST(SendPaced, WritesEachByteAloneThenWaitsTwoCounterSteps) {
    const std::string line = "AB\nCD\r\n";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(line.data());
    test::FakeClock clock(5000, 1);
    test::FakeSerialPort port(&clock);
    EXPECT_THROW(SendPaced(port, clock, bytes, 7), SerialError);
    EXPECT_EQ(clock.reads, 0);
    port.open = true;
    SendPaced(port, clock, bytes, 7);
    EXPECT_EQ(port.WrittenText(), line);
    ASSERT_EQ(port.writeCalls, 7);
    for (std::uint32_t i = 0; i <= 7; ++i) {  // t0, t0 + 1, t0 + 2: three readings per byte
        EXPECT_EQ(i < 7 ? port.written[i].at : clock.now, 5000 + 3 * i) << "byte " << i;
    }
}

}  // namespace
}  // namespace zk4
