// What stands behind each COM name, for the port list, found without opening any port: the
// device a name stands for, whether it is there, and what the system says it is.
#pragma once

#include <string>
#include <vector>

#include "text/UserText.h"

namespace zk4 {

struct PortDescription {
    std::string device;  // the device the name stands for
    bool present = false;
    std::string description;  // what the system's list of serial ports says, when it knows it
    std::string manufacturer;
    std::string serialNumber;
};

// COM1 .. COM30 in order. `portsDirs` as for DeviceForPort.
std::vector<PortDescription> DescribeComPorts(const std::vector<std::string>& portsDirs);

// "/dev/ttyUSB0: FT232R USB UART, FTDI, serial A1B2C3", or "/dev/ttyUSB3: not present".
UserText PortToolTip(const PortDescription& port);

}  // namespace zk4
