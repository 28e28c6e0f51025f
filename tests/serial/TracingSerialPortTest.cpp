#include "serial/TracingSerialPort.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "support/FakeSerialPort.h"
#include "support/TempDir.h"

namespace zk4 {
namespace {

using test::FakeSerialPort;
using test::ReadFile;
using test::TempDir;

std::span<const std::uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

struct Row {
    const char* name;
    std::function<void(SerialPort& traced, FakeSerialPort& inner)> operations;
    std::string trace;  // with the clock at 1000 ms, 1.5 ms on at every reading
    std::size_t bufferLimit = TracingSerialPort::kBufferLimit;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

class TracingSerialPortTrace : public testing::TestWithParam<Row> {};

TEST_P(TracingSerialPortTrace, RecordsWhatPassesAndWritesItOnDestruction) {
    TempDir dir;
    FakeSerialPort inner;
    std::int64_t us = 1'000'000;
    auto opened = TracingSerialPort::OpenTrace(
        inner, dir / "trace", [&us] { return std::exchange(us, us + 1500); },
        GetParam().bufferLimit);
    ASSERT_TRUE(opened.port) << opened.error;
    GetParam().operations(*opened.port, inner);
    EXPECT_EQ(ReadFile(dir / "trace"), "") << "written to the file before its time";
    opened.port.reset();
    EXPECT_EQ(ReadFile(dir / "trace"), GetParam().trace);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, TracingSerialPortTrace,
    testing::Values(Row{"AConversation",
                        [](SerialPort& port, FakeSerialPort& inner) {
                            port.SelectPort(3);
                            port.Configure(PortConfig{});
                            port.Open();
                            port.Write(Bytes("AT ID?\r\n"));
                            EXPECT_EQ(port.ReadAll(), std::vector<std::uint8_t>{});
                            inner.pending = {'A', 'C', 'K', 0x00, '\r', '\n'};
                            EXPECT_EQ(port.ReadAll().size(), 6u);
                            port.Close();
                            port.Close();
                            EXPECT_EQ(inner.WrittenText(), "AT ID?\r\n");
                            EXPECT_EQ(inner.calls,
                                      (std::vector<std::string>{"select 3", "configure", "open",
                                                                "read", "read", "close", "close"}));
                        },
                        "1000.000 -- COM3 opened\n"
                        "1001.500 H>D AT ID?\\r\\n\n"
                        "1003.000 D>H ACK\\x00\\r\\n\n"
                        "1004.500 -- COM3 closed\n"
                        "1006.000 -- trace ends\n"},
                    Row{"RefusalsAreNotedAndStillThrown",
                        [](SerialPort& port, FakeSerialPort& inner) {
                            port.SelectPort(7);
                            inner.refuseOpen = "COM7 is in use.";
                            EXPECT_THROW(port.Open(), SerialError);
                            EXPECT_THROW(port.Write(Bytes("AT\r\n")), SerialError);
                        },
                        "1000.000 -- COM7 not opened: COM7 is in use.\n"
                        "1001.500 -- write refused: The port is not open.\n"
                        "1003.000 -- trace ends\n"},
                    Row{"LinesBeyondTheBufferAreCountedInANote",
                        [](SerialPort& port, FakeSerialPort& inner) {
                            inner.open = true;
                            for (int i = 0; i < 4; ++i) {
                                port.Write(Bytes("AT RALL\r\n"));
                            }
                        },
                        "1000.000 H>D AT RALL\\r\\n\n"
                        "1006.000 -- 3 lines lost here: the trace file did not keep up\n"
                        "1006.000 -- trace ends\n",
                        180}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TracingSerialPort, AnUnwritablePathIsOneSentence) {
    TempDir dir;
    FakeSerialPort inner;
    const auto opened = TracingSerialPort::OpenTrace(inner, dir / "missing/trace");
    EXPECT_FALSE(opened.port);
    EXPECT_EQ(opened.error, "Cannot write the trace to " + dir / "missing/trace" +
                                ": No such file or directory.");
}

}  // namespace
}  // namespace zk4
