#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "serial/SendPaced.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"

namespace zk4 {
namespace {

using test::FakeClock;
using test::FakeSerialPort;

constexpr std::uint32_t kTop = 0xFFFFFFFFu;

TEST(SteadyClock, CountsMillisecondsOfTheSteadyClock) {
    using namespace std::chrono;
    const auto ms = [] {
        const auto since = steady_clock::now().time_since_epoch();
        return static_cast<std::uint32_t>(duration_cast<milliseconds>(since).count());
    };
    const std::uint32_t before = ms();
    const std::uint32_t reading = SteadyClock().TimeGetTime();
    EXPECT_LE(reading - before, ms() - before);  // modulo 2^32, within [before, after]
}

TEST(WaitMilliseconds, EndsAtStartPlusMsOrWhenTheCounterWraps) {
    struct Case {
        std::uint32_t start, ms;
        int reads;  // the start reading included
    };
    const std::vector<Case> cases = {
        {1000, 15, 16}, {kTop - 15, 15, 16}, {kTop - 14, 15, 2}, {kTop, 5, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE("start " + std::to_string(c.start) + " ms " + std::to_string(c.ms));
        FakeClock clock(c.start, 1);
        WaitMilliseconds(clock, c.ms);
        EXPECT_EQ(clock.reads, c.reads);
    }
}

TEST(SendPaced, WritesEachByteAloneThenWaitsTwoCounterSteps) {
    struct Case {
        std::uint32_t start, step;
        std::string line;
        bool open;          // a closed port refuses the first byte
        std::uint32_t gap;  // counter units from one write to the next (or the end)
        int shortPause;     // the byte whose pause starts at 2^32 - 2 or 2^32 - 1
    };
    const std::vector<Case> cases = {
        {5000, 1, "AT ID?\r\n", true, 3, -1},
        {5000, 5, "AT ID?\r\n", true, 10, -1},  // a coarse counter
        {kTop - 1, 1, "AT ID?\r\n", true, 3, 0},
        {kTop - 9, 1, "AT ID?\r\n", true, 3, 3},
        {kTop - 2, 1, "AT ID?\r\n", true, 3, -1},
        {5000, 1, "AB\nCD\r\n", true, 3, -1},  // a line feed before the end does not end it
        {5000, 1, "AT CN=4", true, 3, -1},     // nor does its absence at the end
        {5000, 1, "AT RALL\r\n", false, 3, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("start " + std::to_string(c.start) + " step " + std::to_string(c.step) +
                     " line " + c.line);
        FakeClock clock(c.start, c.step);
        FakeSerialPort port(&clock);
        port.open = c.open;
        const auto send = [&] {
            SendPaced(port, clock, reinterpret_cast<const std::uint8_t*>(c.line.data()),
                      static_cast<std::uint8_t>(c.line.size()));
        };
        if (c.open) {
            send();
        } else {
            EXPECT_THROW(send(), SerialError);
            EXPECT_EQ(clock.reads, 0);  // no pause after the refused byte
        }
        const std::size_t sent = c.open ? c.line.size() : 0;
        EXPECT_EQ(port.WrittenText(), c.line.substr(0, sent));
        ASSERT_EQ(port.writeCalls, static_cast<int>(sent));  // one byte per write
        for (std::size_t i = 0; i < sent; ++i) {
            SCOPED_TRACE("byte " + std::to_string(i));
            const std::uint32_t next = i + 1 < sent ? port.written[i + 1].at : clock.now;
            EXPECT_EQ(next - port.written[i].at, static_cast<int>(i) == c.shortPause ? 2 : c.gap);
        }
    }
}

}  // namespace
}  // namespace zk4
