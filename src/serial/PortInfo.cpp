#include "serial/PortInfo.h"

#include <QSerialPortInfo>

#include "serial/PortNames.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace zk4 {
namespace {

constexpr int kPorts = 30;

bool Present(const std::string& device) {
#if defined(_WIN32)
    (void)device;
    return false;
#else
    struct stat info {};
    return ::stat(device.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
#endif
}

}  // namespace

std::vector<PortDescription> DescribeComPorts(const std::vector<std::string>& portsDirs) {
    // The system's list comes from what the kernel already knows; no port is opened.
    const QList<QSerialPortInfo> known = QSerialPortInfo::availablePorts();
    std::vector<PortDescription> ports;
    ports.reserve(kPorts);
    for (int number = 1; number <= kPorts; ++number) {
        PortDescription port;
        port.device = DeviceForPort(number, portsDirs);
        port.present = Present(port.device);
        for (const QSerialPortInfo& info : known) {
            if (port.present && info.systemLocation().toStdString() == port.device) {
                port.description = info.description().toStdString();
                port.manufacturer = info.manufacturer().toStdString();
                port.serialNumber = info.serialNumber().toStdString();
            }
        }
        if (port.present && port.description.empty() && port.device.starts_with("/dev/pts/")) {
            port.description = "pseudo-terminal";
        }
        ports.push_back(std::move(port));
    }
    return ports;
}

std::string PortToolTip(const PortDescription& port) {
    if (!port.present) {
        return port.device + ": not present";
    }
    std::string what;
    for (const std::string& part :
         {port.description, port.manufacturer,
          port.serialNumber.empty() ? std::string() : "serial " + port.serialNumber}) {
        if (!part.empty()) {
            what += (what.empty() ? "" : ", ") + part;
        }
    }
    return port.device + ": " + (what.empty() ? std::string("present") : what);
}

}  // namespace zk4
