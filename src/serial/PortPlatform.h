// What the QSerialPort adapter asks of the platform, one file per platform:
// PortPlatformPosix.cpp (over PosixTty.h) and PortPlatformWin.cpp.
#pragma once

#include <QSerialPort>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "serial/PortFailures.h"

namespace zk4 {

struct OpenRefusal {
    PortFailure cause;
    std::string detail;  // as FailureSentence takes it
};

// Why the device cannot be opened, found before QSerialPort tries; nothing when it may try.
std::optional<OpenRefusal> RefusalBeforeOpen(const std::string& device);

// Makes the open port this program's alone; the refusal when another program holds it.
std::optional<OpenRefusal> LockOpenedPort(QSerialPort& port);

// After a read, resource or write error on an open port: true when the device is gone (a
// pulled adapter, the far end of a pseudo-terminal closed), false for a passing error.
bool LineGone(QSerialPort& port, QSerialPort::SerialPortError error);

// Appends what the driver still holds that QSerialPort has not fetched yet.
void DrainDriver(QSerialPort& port, std::vector<std::uint8_t>& out);

}  // namespace zk4
