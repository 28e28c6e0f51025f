// Value records as CSV rows and JSON objects, and the recorder that appends them.
#include <gtest/gtest.h>

#include <QTimeZone>

#include "support/TempDir.h"
#include "workshop/CsvRecorder.h"

namespace zk4 {
namespace {

// 2026-12-07 17:29:46.123 at UTC+1.
const QDateTime kTime(QDate(2026, 12, 7), QTime(17, 29, 46, 123), QTimeZone(3600));

ValueRecord Identified() {
    DeviceValues v;
    v.m_strProductId = "ZK4-J1939-003";
    v.m_dwSerialNo = 305419896;
    v.m_strFirmware = "0.5N";
    v.m_strVoltage = "13.80";
    v.m_strEngineRpm = "650";
    v.m_strVehicleMph = "";
    v.m_strCylindersReported = "X";
    v.m_strHzPerMphReported = "02.5000";
    return {kTime, "COM3", "/dev/ttyUSB2", v};
}

TEST(ValueRecord, CsvAndJsonCarryTheSameKeysNumbersAndMissingValues) {
    ValueRecord quoted = Identified();
    quoted.values.m_strFirmware = "0.5N,\"B\"\xE9";  // a device byte above 127 is Latin-1
    quoted.port = "COM\n3";
    const ValueRecord nothing{kTime, "COM1", "/dev/ttyUSB0", {}};
    const std::tuple<const char*, ValueRecord, std::string, std::string> rows[] = {
        {"Identified", Identified(),
         "2026-12-07T17:29:46.123+01:00,COM3,/dev/ttyUSB2,ZK4-J1939-003,305419896,0.5N,13.8,650,"
         ",,2.5\r\n",
         R"({"port":"COM3","device":"/dev/ttyUSB2","product_id":"ZK4-J1939-003",)"
         R"("serial_number":305419896,"firmware":"0.5N","voltage":13.8,"engine_rpm":650,)"
         R"("vehicle_mph":null,"cylinders":null,"hz_per_mph":2.5})"},
        {"QuotedAndEscaped", quoted,
         "2026-12-07T17:29:46.123+01:00,\"COM\n3\",/dev/ttyUSB2,ZK4-J1939-003,305419896,"
         "\"0.5N,\"\"B\"\"\xC3\xA9\",13.8,650,,,2.5\r\n",
         R"({"port":"COM\u000a3","device":"/dev/ttyUSB2","product_id":"ZK4-J1939-003",)"
         R"("serial_number":305419896,"firmware":"0.5N,\"B\")"
         "\xC3\xA9"
         R"(","voltage":13.8,"engine_rpm":650,"vehicle_mph":null,"cylinders":null,)"
         R"("hz_per_mph":2.5})"},
        {"NothingReported", nothing, "2026-12-07T17:29:46.123+01:00,COM1,/dev/ttyUSB0,,,,,,,,\r\n",
         R"({"port":"COM1","device":"/dev/ttyUSB0","product_id":null,"serial_number":null,)"
         R"("firmware":null,"voltage":null,"engine_rpm":null,"vehicle_mph":null,)"
         R"("cylinders":null,"hz_per_mph":null})"},
    };
    for (const auto& [name, record, csv, json] : rows) {
        EXPECT_EQ(CsvRow(record), csv) << name;
        EXPECT_EQ(JsonObject(record, false), json) << name;
    }
    EXPECT_EQ(CsvHeader(),
              "time,port,device,product_id,serial_number,firmware,voltage,engine_rpm,vehicle_mph,"
              "cylinders,hz_per_mph\r\n");
    EXPECT_TRUE(
        JsonObject(nothing, true).starts_with(R"({"time":"2026-12-07T17:29:46.123+01:00",)"));
}

TEST(CsvRecorder, HeaderOnceThenRowsAndAWriteErrorIsReported) {
    test::TempDir dir;
    const std::string path = dir / "values.csv";
    for (int run = 0; run < 2; ++run) {  // the second run appends to the same file
        CsvRecorder recorder;
        ASSERT_EQ(recorder.Open(path), std::nullopt);
        EXPECT_EQ(recorder.Append(Identified()), std::nullopt);
    }
    const std::string row = CsvRow(Identified());
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
