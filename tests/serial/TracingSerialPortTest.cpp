#include "serial/TracingSerialPort.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/FakeSerialPort.h"
#include "support/TempDir.h"

namespace zk4 {
namespace {

using test::FakeSerialPort;

void Write(SerialPort& port, std::string_view text) {
    port.Write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

// The trace clock starts at 1000 ms and moves 1.5 ms at every reading.
TEST(TracingSerialPort, TracesWhatPassesAtDestructionOrSaysWhyItCannot) {
    struct Row {
        std::function<void(SerialPort& traced, FakeSerialPort& inner)> operations;
        std::string trace;
        std::size_t bufferLimit = TracingSerialPort::kBufferLimit;
    };
    const std::vector<Row> rows = {
        {[](SerialPort& port, FakeSerialPort& inner) {
             port.SelectPort(3);
             port.Open();
             Write(port, "AT ID?\r\n");
             port.ReadAll();
             inner.pending = {'A', 'C', 'K', 0x00, '\r', '\n'};
             EXPECT_EQ(port.ReadAll().size(), 6u);
             port.Close();
             EXPECT_EQ(inner.WrittenText(), "AT ID?\r\n");
             EXPECT_EQ(inner.calls.size(), 5u);  // select, open, read, read, close
         },
         "1000.000 -- COM3 opened\n1001.500 H>D AT ID?\\r\\n\n1003.000 D>H ACK\\x00\\r\\n\n"
         "1004.500 -- COM3 closed\n1006.000 -- trace ends\n"},
        {[](SerialPort& port, FakeSerialPort& inner) {
             port.SelectPort(7);
             inner.refuseOpen = "COM7 is in use.";
             EXPECT_THROW(port.Open(), SerialError);
             EXPECT_THROW(Write(port, "AT\r\n"), SerialError);
         },
         "1000.000 -- COM7 not opened: COM7 is in use.\n"
         "1001.500 -- write refused: The port is not open.\n1003.000 -- trace ends\n"},
        {[](SerialPort& port, FakeSerialPort& inner) {  // lines beyond the buffer are counted
             inner.open = true;
             for (int i = 0; i < 4; ++i) {
                 Write(port, "AT RALL\r\n");
             }
         },
         "1000.000 H>D AT RALL\\r\\n\n"
         "1006.000 -- 3 lines lost here: the trace file did not keep up\n1006.000 -- trace ends\n",
         180},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.trace);
        test::TempDir dir;
        FakeSerialPort inner;
        std::int64_t us = 1'000'000;
        auto opened = TracingSerialPort::OpenTrace(
            inner, dir / "trace", [&us] { return std::exchange(us, us + 1500); }, row.bufferLimit);
        ASSERT_TRUE(opened.port) << opened.error;
        row.operations(*opened.port, inner);
        EXPECT_EQ(test::ReadFile(dir / "trace"), "") << "written to the file before its time";
        opened.port.reset();
        EXPECT_EQ(test::ReadFile(dir / "trace"), row.trace);
    }
    test::TempDir dir;
    FakeSerialPort inner;
    EXPECT_EQ(
        TracingSerialPort::OpenTrace(inner, dir / "missing/trace").error,
        "Cannot write the trace to " + dir / "missing/trace" + ": No such file or directory.");
}

}  // namespace
}  // namespace zk4
