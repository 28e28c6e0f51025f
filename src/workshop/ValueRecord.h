// What a technician keeps of a device: one record per poll (or per `zk4ctl info`), written as
// a CSV row or a JSON object with the same keys, in the order of kRecordKeys. Reported values
// that are numbers are written as numbers; a value the device has not given, or whose text is
// no number where one is expected, is empty in CSV and null in JSON. Shared by the window's
// recorder and the command line.
#pragma once

#include <QDateTime>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/ReportedValues.h"

namespace zk4 {

struct ValueRecord {
    QDateTime time;      // when the values arrived (local time)
    std::string port;    // "COM3"
    std::string device;  // the device behind it, "/dev/ttyUSB2"
    DeviceValues values;
};

// "port", "device", "product_id", "serial_number", then each reported value's key.
std::vector<std::string_view> RecordKeys();

// ISO 8601 local time with its offset and milliseconds: "2026-12-07T17:29:46.123+01:00".
std::string IsoTime(const QDateTime& time);

// "time" and the record keys, comma-separated, CR LF ended.
std::string CsvHeader();
// One row in the header's order, CR LF ended; fields quoted where CSV needs it.
std::string CsvRow(const ValueRecord& record);

// One JSON object with the record keys ("time" first when `withTime`), on one line.
std::string JsonObject(const ValueRecord& record, bool withTime);

// Text as a JSON string, quotes included.
std::string JsonString(std::string_view utf8);

}  // namespace zk4
