// The QSerialPort adapter's platform part on Windows. Not built on Linux: there is no Qt for
// MinGW there.
#include "serial/PortPlatform.h"

namespace zk4 {

// The COM name needs no resolving and no lock files exist; the open itself tells.
std::optional<OpenRefusal> RefusalBeforeOpen(const std::string& /*device*/) {
    return std::nullopt;
}

// A COM port opened by CreateFile is exclusive already.
std::optional<OpenRefusal> LockOpenedPort(QSerialPort& /*port*/) {
    return std::nullopt;
}

// QSerialPort raises a resource error when the adapter is pulled out.
bool LineGone(QSerialPort& /*port*/, QSerialPort::SerialPortError error) {
    return error == QSerialPort::ResourceError;
}

// QSerialPort keeps reading the port on its own; nothing waits behind its back.
void DrainDriver(QSerialPort& /*port*/, std::vector<std::uint8_t>& /*out*/) {}

}  // namespace zk4
