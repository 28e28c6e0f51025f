#include "protocol/DeviceLine.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace zk4 {
namespace {

Bytes Span(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(DeviceLine, HexPairToByteUsesExactWrappingArithmetic) {
    // {high, low, byte}. Characters that are not hex digits still give a defined byte.
    const std::uint8_t cases[][3] = {{'0', '0', 0x00}, {'F', 'F', 0xFF}, {'2', 'A', 0x2A},
                                     {'A', '2', 0xA2}, {'9', 'B', 0x9B}, {'0', 'G', 0x10},
                                     {'1', '/', 0x0F}, {'a', '0', 0xA0}, {0xFF, 0xFF, 0x48}};
    for (const auto& c : cases) {
        EXPECT_EQ(HexPairToByte(c[0], c[1]), c[2]) << int{c[0]} << ' ' << int{c[1]};
    }
}

TEST(DeviceLine, LineKindReportFieldAndValueComeFromTheLineAlone) {
    // `length` cuts the line short inside a longer buffer: bytes beyond it must not match.
    const std::tuple<std::string_view, std::size_t, LineKind, ReportField, std::string_view>
        cases[] = {
            {"AT RPM=1500\r\n", 13, LineKind::Report, ReportField::EngineRpm, "1500"},
            {"AT DV==1 X\r\n", 12, LineKind::Report, ReportField::Voltage, "=1 X"},
            {"AT XY=1\r\n", 9, LineKind::Report, ReportField::Unknown, ""},
            {"AT HZ=01.7881\r\n", 15, LineKind::Report, ReportField::Unknown, ""},
            {"AT HZVSMPH=1\r\n", 10, LineKind::Report, ReportField::Unknown, ""},
            {"AT RPM=1500\r\n", 6, LineKind::Report, ReportField::Unknown, ""},
            {"ACK ID\r\n", 8, LineKind::Acknowledgement, ReportField::Unknown, ""},
            {"ACKID\r\n", 7, LineKind::Ignored, ReportField::Unknown, ""},
            {"AC X\r\n", 6, LineKind::Ignored, ReportField::Unknown, ""},
            {"ATX\r\n", 5, LineKind::Ignored, ReportField::Unknown, ""},
            {"XAT DV=1\r\n", 10, LineKind::Ignored, ReportField::Unknown, ""},
            {"AT DV=1\r\n", 0, LineKind::Ignored, ReportField::Unknown, ""},
        };
    for (const auto& [buffer, length, kind, field, value] : cases) {
        const Bytes line = Span(buffer).first(length);
        const Report report = ParseReportLine(line);
        EXPECT_EQ(std::tuple(ClassifyLine(line), report.field, report.value),
                  std::tuple(kind, field, value))
            << buffer.substr(0, length);
    }
}

TEST(DeviceLine, IdentificationLineIsCheckedAndDecoded) {
    const std::tuple<std::string_view, bool, bool, int, std::uint32_t> cases[] = {
        {"ACK IDA2100000000003\r\n", true, true, 0x2A, 1},
        {"ACK IDA2100000000004\r\n", true, false, 0x2A, 1},
        {"ACK IDA21000000000003\r\n", false, false, 0x2A, 1},
        {"ACK IXA2100000000003\r\n", false, false, 0x2A, 1},
    };
    for (const auto& [line, isId, checksumOk, code, serial] : cases) {
        const Identification id = DecodeIdentification(Span(line));
        EXPECT_EQ(std::tuple(IsIdentificationLine(Span(line)), IdentificationChecksumOk(Span(line)),
                             int{id.productCode}, id.serialNo),
                  std::tuple(isId, checksumOk, code, serial))
            << line;
    }
}

TEST(DeviceLine, ProductTableHoldsTheTwelveVariantsAndNothingElse) {
    for (unsigned code = 0; code <= 0xFF; ++code) {
        const auto byte = static_cast<std::uint8_t>(code);
        const ProductInfo info = LookupProduct(byte);
        const bool valid = (code >= 0x2A && code <= 0x2C) || (code >= 0x54 && code <= 0x5C);
        const char variant = info.productId.back();  // -001 cylinders, -002 Hz per MPH, -003 both
        EXPECT_EQ(std::tuple(info.valid, info.productId == "Wrong ID", info.cylinders,
                             info.hzPerMph, IsCylinderCapable(byte), IsHzCapable(byte)),
                  std::tuple(valid, !valid, valid && variant != '2', valid && variant != '1',
                             info.cylinders, info.hzPerMph))
            << code;
    }
}

TEST(DeviceLine, FirmwareGateComparesTheFirstFourCharacters) {
    const std::pair<const char*, bool> cases[] = {
        {"0.5N", true}, {"0.5N7", true}, {"0.5M2", false}, {"0.5", false},
        {"", false},    {"0.5n", false}, {" 0.5N", false},
    };
    for (const auto& [firmware, passes] : cases) {
        EXPECT_EQ(FirmwareGatePasses(firmware), passes) << firmware;
    }
}

}  // namespace
}  // namespace zk4
