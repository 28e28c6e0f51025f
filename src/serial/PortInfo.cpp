#include "serial/PortInfo.h"

#include <QSerialPortInfo>

#include "serial/PortNames.h"

namespace zk4 {

std::vector<PortDescription> DescribeComPorts(const std::vector<std::string>& portsDirs) {
    // The system's list comes from what the kernel already knows; no port is opened.
    const QList<QSerialPortInfo> known = QSerialPortInfo::availablePorts();
    std::vector<PortDescription> ports;
    ports.reserve(kLastPort);
    for (int number = 1; number <= kLastPort; ++number) {
        PortDescription port;
        port.device = DeviceForPort(number, portsDirs);
        port.present = DevicePresent(port.device);
        for (const QSerialPortInfo& info : known) {
            // On Windows the device is the COM name, which the list holding it proves present.
            const bool named = info.portName().toStdString() == port.device;
            port.present = port.present || named;
            if (port.present && (named || info.systemLocation().toStdString() == port.device)) {
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

UserText PortToolTip(const PortDescription& port) {
    if (!port.present) {
        return {QT_TRANSLATE_NOOP("zk4", "%1: not present"), {port.device}};
    }
    std::string what = port.description;
    if (!port.manufacturer.empty()) {
        what += (what.empty() ? "" : ", ") + port.manufacturer;
    }
    if (!port.serialNumber.empty()) {
        return {what.empty() ? QT_TRANSLATE_NOOP("zk4", "%1: serial %3")
                             : QT_TRANSLATE_NOOP("zk4", "%1: %2, serial %3"),
                {port.device, what, port.serialNumber}};
    }
    return {
        what.empty() ? QT_TRANSLATE_NOOP("zk4", "%1: present") : QT_TRANSLATE_NOOP("zk4", "%1: %2"),
        {port.device, what}};
}

}  // namespace zk4
