// Value records as CSV rows and JSON objects, the name a recording is offered, and the recorder
// that appends the rows. The header and the JSON of a whole device are the command line's tests';
// JSON writes a missing value as the CSV leaves it out, with the same code.
#include <gtest/gtest.h>

#include <QTimeZone>

#include "support/TempDir.h"
#include "workshop/CsvRecorder.h"

namespace zk4 {
namespace {

// 2026-12-07 17:29:46.123 at UTC+1.
const QDateTime kTime(QDate(2026, 12, 7), QTime(17, 29, 46, 123), QTimeZone(3600));

// Product ID, serial number, firmware, voltage, engine speed, vehicle speed, cylinders, Hz/MPH.
const DeviceValues kValues{"ZK4-J1939-003", 305419896, "0.5N", "13.80", "650", "", "X", "02.5000"};
const ValueRecord kIdentified{kTime, "COM3", "/dev/ttyUSB2", kValues};

TEST(ValueRecord, CsvAndJsonCarryTheSameNumbersTextsAndMissingValues) {
    ValueRecord quoted = kIdentified;
    quoted.values.m_strFirmware = "0.5N,\"B\"\xE9";  // a device byte above 127 is Latin-1
    quoted.values.m_strProductId = "zK4/J z";
    quoted.port = "COM\n3";
    const ValueRecord nothing{kTime, "COM1", "/dev/ttyUSB0", {}};
    EXPECT_EQ(CsvRow(quoted),
              "2026-12-07T17:29:46.123+01:00,\"COM\n3\",/dev/ttyUSB2,zK4/J z,305419896,"
              "\"0.5N,\"\"B\"\"\xC3\xA9\",13.8,650,,,2.5\r\n");
    EXPECT_EQ(JsonObject(quoted, false),
              R"({"port":"COM\u000a3","device":"/dev/ttyUSB2","product_id":"zK4/J z",)"
              R"("serial_number":305419896,"firmware":"0.5N,\"B\")"
              "\xC3\xA9"
              R"(","voltage":13.8,"engine_rpm":650,"vehicle_mph":null,"cylinders":null,)"
              R"("hz_per_mph":2.5})");
    EXPECT_EQ(CsvRow(nothing), "2026-12-07T17:29:46.123+01:00,COM1,/dev/ttyUSB0,,,,,,,,\r\n");
    // A file name of letters, digits and "-" only.
    EXPECT_EQ(DefaultRecordName(quoted.values, kTime.date()), "zK4-J-z_305419896_2026-12-07.csv");
    EXPECT_EQ(DefaultRecordName({}, kTime.date()), "ZK4_2026-12-07.csv");
}

TEST(CsvRecorder, HeaderOnceThenRowsAndAWriteErrorIsReported) {
    test::TempDir dir;
    const std::string path = dir / "values.csv";
    for (int run = 0; run < 2; ++run) {  // the second run appends to the same file
        CsvRecorder recorder;
        ASSERT_EQ(recorder.Open(path), std::nullopt);
        EXPECT_EQ(recorder.Append(kIdentified), std::nullopt);
    }
    const std::string row = CsvRow(kIdentified);
    EXPECT_EQ(test::ReadFile(path), CsvHeader() + row + row);

    CsvRecorder full;  // a disk that takes nothing: the header already fails
    const auto error = full.Open("/dev/full");
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->English().starts_with("Cannot write the values to /dev/full: "))
        << error->English();
    EXPECT_FALSE(full.IsOpen());
    EXPECT_TRUE(CsvRecorder().Open(dir / "no-such-folder/values.csv").has_value());
}

}  // namespace
}  // namespace zk4
