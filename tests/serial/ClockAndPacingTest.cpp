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

TEST(WaitMilliseconds, EndsAtStartPlusMsOrWhenTheCounterWraps) {
    struct Case {
        std::uint32_t start, step, ms;
        int reads;  // the start reading included
    };
    const std::vector<Case> cases = {
        {1000, 1, 2, 3},        {1000, 2, 2, 2},     {1000, 5, 2, 2}, {1000, 1, 0, 2},
        {kTop - 2, 1, 2, 3},    {kTop - 1, 1, 2, 2}, {kTop, 1, 2, 2}, {kTop, 1, 5, 2},
        {kTop - 15, 1, 15, 16}, {kTop - 3, 2, 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("start " + std::to_string(c.start) + " step " + std::to_string(c.step) +
                     " ms " + std::to_string(c.ms));
        FakeClock clock(c.start, c.step);
        WaitMilliseconds(clock, c.ms);
        EXPECT_EQ(clock.reads, c.reads);
    }
}

TEST(SteadyClock, CountsMillisecondsOfTheSteadyClock) {
    using namespace std::chrono;
    const auto ms = [] {
        return static_cast<std::uint32_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
    SteadyClock clock;
    const std::uint32_t before = ms();
    const std::uint32_t reading = clock.TimeGetTime();
    const std::uint32_t after = ms();
    EXPECT_LE(reading - before, after - before);  // modulo 2^32, within [before, after]
}

// Clock units between the write of each byte and the next write (or the end of the call).
std::vector<std::uint32_t> Gaps(const FakeSerialPort& port, const FakeClock& clock) {
    std::vector<std::uint32_t> gaps;
    for (std::size_t i = 0; i < port.written.size(); ++i) {
        const std::uint32_t next = i + 1 < port.written.size() ? port.written[i + 1].at : clock.now;
        gaps.push_back(next - port.written[i].at);
    }
    return gaps;
}

TEST(SendPaced, WritesEachByteAloneThenWaitsTwoCounterSteps) {
    struct Case {
        std::uint32_t start, step;
        std::uint32_t gap;  // units from one write to the next: t0 plus readings until t0 + 2
        int shortPause;     // the byte whose t0 is 2^32 - 2 or 2^32 - 1: its pause ends at once
    };
    const std::vector<Case> cases = {
        {5000, 1, 3, -1}, {5000, 2, 4, -1},     {5000, 5, 10, -1},   {kTop - 1, 1, 3, 0},
        {kTop, 1, 3, 0},  {kTop - 10, 1, 3, 3}, {kTop - 9, 1, 3, 3}, {kTop - 2, 1, 3, -1},
    };
    const std::string line = "AT ID?\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE("start " + std::to_string(c.start) + " step " + std::to_string(c.step));
        FakeClock clock(c.start, c.step);
        FakeSerialPort port(&clock);
        port.open = true;
        SendPaced(port, clock, reinterpret_cast<const std::uint8_t*>(line.data()), 8);
        EXPECT_EQ(port.WrittenText(), line);
        ASSERT_EQ(port.writeCalls, 8);
        for (std::size_t i = 0; i < port.written.size(); ++i) {
            EXPECT_EQ(port.written[i].writeCall, static_cast<int>(i));  // one byte per write
        }
        std::vector<std::uint32_t> expected(8, c.gap);
        if (c.shortPause >= 0) {
            expected[static_cast<std::size_t>(c.shortPause)] = 2;  // t0 and one more reading
        }
        EXPECT_EQ(Gaps(port, clock), expected);
    }
}

TEST(SendPaced, SendsExactlyLengthBytesWhateverTheyAre) {
    struct Case {
        std::string bytes;
        int length;
        std::string sent;
    };
    const std::string longLine(300, 'x');
    const std::vector<Case> cases = {
        {"AB\nCD\r\n", 7, "AB\nCD\r\n"},  // a line feed before the end does not end the line
        {"AT RALL\r\nAT ID?\r\n", 9, "AT RALL\r\n"},
        {"AT CN=4", 7, "AT CN=4"},  // no line feed at the end
        {"", 0, ""},
        {longLine, 255, longLine.substr(0, 255)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("length " + std::to_string(c.length));
        FakeClock clock;
        FakeSerialPort port(&clock);
        port.open = true;
        SendPaced(port, clock, reinterpret_cast<const std::uint8_t*>(c.bytes.data()),
                  static_cast<std::uint8_t>(c.length));
        EXPECT_EQ(port.WrittenText(), c.sent);
        EXPECT_EQ(clock.reads, 3 * c.length);
    }
}

// Refuses the write with the given index, like a port that went away in mid-line.
class RefusingPort final : public SerialPort {
  public:
    explicit RefusingPort(int refuseAt) : m_refuseAt(refuseAt) {}
    bool IsOpen() const override { return true; }
    void Close() override {}
    void SelectPort(int) override {}
    void Open() override {}
    void Configure(const PortConfig&) override {}
    void Write(std::span<const std::uint8_t> bytes) override {
        if (writes++ == m_refuseAt) {
            throw SerialError("refused");
        }
        sent.append(bytes.begin(), bytes.end());
    }
    std::vector<std::uint8_t> ReadAll() override { return {}; }
    void SetReceiveHandler(ReceiveHandler) override {}

    int writes = 0;
    std::string sent;

  private:
    int m_refuseAt;
};

TEST(SendPaced, RefusedWriteEndsTheLineAtThatByte) {
    const std::string line = "AT RALL\r\n";
    for (const int refuseAt : {0, 4, 8}) {
        SCOPED_TRACE("refused at " + std::to_string(refuseAt));
        FakeClock clock;
        RefusingPort port(refuseAt);
        EXPECT_THROW(SendPaced(port, clock, reinterpret_cast<const std::uint8_t*>(line.data()),
                               static_cast<std::uint8_t>(line.size())),
                     SerialError);
        EXPECT_EQ(port.sent, line.substr(0, static_cast<std::size_t>(refuseAt)));
        EXPECT_EQ(port.writes, refuseAt + 1);
        EXPECT_EQ(clock.reads, 3 * refuseAt);  // no pause after the refused byte
    }
}

}  // namespace
}  // namespace zk4
