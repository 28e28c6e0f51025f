// The serial layer's parts that need Qt or a POSIX system but no device: lock files and the
// wire trace.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "serial/PosixTty.h"
#include "serial/TracingSerialPort.h"
#include "support/FakeSerialPort.h"
#include "support/TempDir.h"

namespace zk4 {
namespace {

// A lock file's pid is its leading spaces then up to ten digits.
TEST(LockFilePid, LeadingSpacesThenUpToTenDigits) {
    const std::pair<std::string, long> pids[] = {
        {"      1234\n", 1234},      {"5 6\n", 5}, {"", 0}, {"x12", 0}, {"12x3", 12},
        {"12345678901", 1234567890},
    };
    for (const auto& [text, pid] : pids) {
        EXPECT_EQ(LockFilePid(text), pid) << '"' << text << '"';
    }
}

void Write(SerialPort& port, std::string_view text) {
    port.Write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

// The trace clock starts at 1000 ms and moves 1.5 ms at every reading. The buffer (600 bytes)
// takes the short lines but not the long write, which is counted as lost.
TEST(TracingSerialPort, TracesWhatPassesAtDestructionOrSaysWhyItCannot) {
    test::TempDir dir;
    test::FakeSerialPort inner;
    std::int64_t us = 1'000'000;
    auto opened = TracingSerialPort::OpenTrace(
        inner, dir / "trace", [&us] { return std::exchange(us, us + 1500); }, 600);
    ASSERT_TRUE(opened.port) << opened.error.English();
    SerialPort& port = *opened.port;
    port.SelectPort(7);
    inner.refuseOpen = "COM7 is in use.";
    EXPECT_THROW(port.Open(), SerialError);
    EXPECT_THROW(Write(port, "AT\r\n"), SerialError);
    inner.refuseOpen.reset();
    port.Open();
    Write(port, "AT ID?\r\n");
    port.ReadAll();
    inner.pending = {'A', 'C', 'K', 0x00, '\r', '\n'};
    EXPECT_EQ(port.ReadAll().size(), 6u);
    Write(port, std::string(200, 'x'));
    port.Close();
    EXPECT_EQ(test::ReadFile(dir / "trace"), "") << "written to the file before its time";
    opened.port.reset();
    EXPECT_EQ(test::ReadFile(dir / "trace"),
              "1000.000 -- COM7 not opened: COM7 is in use.\n"
              "1001.500 -- write refused: The port is not open.\n1003.000 -- COM7 opened\n"
              "1004.500 H>D AT ID?\\r\\n\n1006.000 D>H ACK\\x00\\r\\n\n"
              "1009.000 -- 1 lines lost here: the trace file did not keep up\n"
              "1009.000 -- COM7 closed\n1010.500 -- trace ends\n");
    EXPECT_EQ(
        TracingSerialPort::OpenTrace(inner, dir / "missing/trace").error.English(),
        "Cannot write the trace to " + dir / "missing/trace" + ": No such file or directory.");
}

}  // namespace
}  // namespace zk4
