// The QSerialPort adapter's platform part on a POSIX tty, over PosixTty.h.
#include "serial/PortPlatform.h"
#include "serial/PosixTty.h"

namespace zk4 {

namespace {

std::optional<OpenRefusal> Refusal(const std::optional<TtyRefusal>& refusal) {
    if (!refusal) {
        return std::nullopt;
    }
    return OpenRefusal{refusal->cause, refusal->detail};
}

}  // namespace

std::optional<OpenRefusal> RefusalBeforeOpen(const std::string& device) {
    return Refusal(CheckBeforeOpen(device));
}

std::optional<OpenRefusal> LockOpenedPort(QSerialPort& port) {
    return Refusal(LockDevice(port.handle()));
}

// A hung-up line keeps reading as 0 bytes; a healthy one never reports a hang-up.
bool LineGone(QSerialPort& port, QSerialPort::SerialPortError /*error*/) {
    return LineHungUp(port.handle());
}

void DrainDriver(QSerialPort& port, std::vector<std::uint8_t>& out) {
    DrainKernel(port.handle(), out);
}

}  // namespace zk4
