// What zk4ctl prints on standard output: value records as "key: value" lines and as the rows of
// a table, the port list and the ZK4s a scan found, as text and as JSON. The keys are the value
// records' (workshop/ValueRecord.h), so text, table, CSV and JSON name a value alike.
#pragma once

#include <string>
#include <vector>

#include "serial/PortInfo.h"
#include "workshop/ValueRecord.h"

namespace zk4 {

// One "key: value" line per record key; a value the device has not given is "-".
std::string KeyValueLines(const ValueRecord& record);

// A table for a person at a terminal: the time and the device's values as it gave them.
std::string TableHeader();
std::string TableRow(const ValueRecord& record);

// "COM3   /dev/ttyUSB2: FT232R USB UART, FTDI, serial A1B2C3" (the window's port tooltip).
std::string PortLine(int number, const PortDescription& port);
// {"port":"COM3","device":"/dev/ttyUSB2","present":true,"description":"FT232R USB UART"}
std::string PortJson(int number, const PortDescription& port);

// "COM3   ZK4-J1939-003  305419896  0.5N"
std::string ScanLine(const ValueRecord& record);

// The objects as a JSON array, one a line.
std::string JsonArray(const std::vector<std::string>& objects);

// A number in its shortest form that reads back the same.
std::string JsonNumber(double value);

}  // namespace zk4
